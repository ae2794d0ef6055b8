#include "BmpCodec.h"
#include "RasterTestKit.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

using namespace rastertest;

namespace {

struct BmpLayout {
    uint32_t headerSize = 40;
    int32_t width = 1;
    int32_t height = 1;
    int bitCount = 8;
    uint32_t compression = 0;
    uint32_t colorsUsed = 0;
    Bytes palette{};               // stored entries, 4 bytes each (3 for the 12-byte header)
    Bytes pixels{};                // everything after the palette
    std::vector<uint32_t> masks{}; // bit fields: in a V2+ header, else after a 40-byte one
};

// File header, bitmap header, palette and pixels, field by field.
Bytes bmpFile(const BmpLayout& l) {
    const bool masksAfter = l.headerSize < 52;
    const uint32_t pixelsAt = 14 + l.headerSize + static_cast<uint32_t>(l.palette.size()) +
                              (masksAfter ? 4 * static_cast<uint32_t>(l.masks.size()) : 0);
    ByteWriter w;
    w.u8({'B', 'M'});                                          // signature
    w.le32(pixelsAt + static_cast<uint32_t>(l.pixels.size())); // file size
    w.le32(0);                                                 // reserved
    w.le32(pixelsAt);                                          // offset of the pixels
    w.le32(l.headerSize);                                      // header size
    if (l.headerSize == 12) {
        w.le16(l.width).le16(l.height); // 16-bit sizes
        w.le16(1);                      // planes
        w.le16(l.bitCount);
    } else {
        ByteWriter f;
        f.le32(static_cast<uint32_t>(l.width));
        f.le32(static_cast<uint32_t>(l.height)); // negative: top-down
        f.le16(1);                               // planes
        f.le16(l.bitCount);
        f.le32(l.compression); // 0 none, 1 RLE8, 2 RLE4
        f.le32(0);             // image size (may be 0 when uncompressed)
        f.le32(2835).le32(2835);
        f.le32(l.colorsUsed); // 0: as many as the depth allows
        f.le32(0);            // important colours
        for (uint32_t m : l.masks)
            if (!masksAfter)
                f.le32(m); // red, green, blue, alpha
        Bytes fields = f.data();
        fields.resize(l.headerSize - 4, 0); // V4/V5 masks, colour space...; OS/2 2.x may stop early
        w.bytes(fields);
        for (uint32_t m : l.masks)
            if (masksAfter)
                w.le32(m);
    }
    w.bytes(l.palette).bytes(l.pixels);
    return w.data();
}

// Entries k = (red 10k, green 10k+1, blue 10k+2), stored blue first.
Bytes storedPalette(int entries, int entryBytes = 4) {
    ByteWriter w;
    for (int k = 0; k < entries; ++k) {
        w.u8({10 * k + 2, 10 * k + 1, 10 * k});
        if (entryBytes == 4)
            w.u8({0});
    }
    return w.data();
}

pz4fmt::Frame decodeOne(const Bytes& file) {
    return rastertest::decodeOne(pz4bmp::decodeBmp, file);
}

// 3 x 2, 8-bit, three palette entries; rows padded to 4 bytes.
BmpLayout eightBit() {
    return {.width = 3,
            .height = 2,
            .colorsUsed = 3,
            .palette = storedPalette(3),
            .pixels = {0, 1, 2, 0,   // first stored row
                       2, 2, 1, 0}}; // second stored row
}

// 5 x 3 RLE8: runs, a literal, end of line, a delta and the end marker.
BmpLayout rle8() {
    return {.width = 5,
            .height = 3,
            .compression = 1,
            .palette = storedPalette(10),
            .pixels = {
                0x03, 7,    0x02, 9,          // row 0: 7 7 7, 9 9
                0x00, 0x00,                   // end of line
                0x00, 0x03, 1,    2, 3, 0x00, // row 1: literal 1 2 3, padded to a word
                0x00, 0x02, 1,    1,          // delta: one right, one up, to (4, 2)
                0x01, 5,                      // row 2, x 4: 5
                0x00, 0x01,                   // end of bitmap
            }};
}

// Where the RLE8 stream starts: both headers and ten palette entries.
constexpr size_t kRleAt = 14 + 40 + 40;

} // namespace

TEST(BmpDecode, BottomUpRowsAndShortPalette) {
    const pz4fmt::Frame f = decodeOne(bmpFile(eightBit()));
    EXPECT_EQ(f.width, 3);
    EXPECT_EQ(f.height, 2);
    EXPECT_EQ(f.pixels, (Bytes{0, 1, 2, 2, 2, 1}));
    EXPECT_TRUE(f.hasPalette);
    EXPECT_EQ(f.colorCount, 3);
    EXPECT_EQ(rgb(2, f), (Bytes{20, 21, 22}));
    EXPECT_EQ(rgb(3, f), (Bytes{0, 0, 0})); // padding entries
}

TEST(BmpDecode, NegativeHeightIsTopDown) {
    BmpLayout l = eightBit();
    l.height = -2;
    EXPECT_EQ(decodeOne(bmpFile(l)).pixels, (Bytes{2, 2, 1, 0, 1, 2}));
}

// 16-, 24- and 32-bit pixels as Pillow reads them: fields widened by repeating
// their bits, alpha only where bit fields name an alpha mask.
TEST(BmpDecode, TruecolourPixelsAsPillowReadsThem) {
    const struct {
        const char* what;
        BmpLayout layout; // 2 x 1
        std::vector<Bytes> colours;
        int transparent;
    } cases[] = {
        {"16-bit 555",
         {.width = 2, .bitCount = 16, .pixels = {0xFF, 0x7F, 0x1F, 0x7C}},
         {{255, 255, 255}, {255, 0, 255}},
         -1},
        {"16-bit 565 fields after a 40-byte header",
         {.width = 2,
          .bitCount = 16,
          .compression = 3,
          .pixels = {0x00, 0xF8, 0x41, 0x08},
          .masks = {0xF800, 0x07E0, 0x001F}},
         {{255, 0, 0}, {8, 8, 8}},
         -1},
        {"24-bit",
         {.width = 2, .bitCount = 24, .pixels = {1, 2, 3, 4, 5, 6, 0, 0}},
         {{3, 2, 1}, {6, 5, 4}},
         -1},
        {"32-bit, fourth byte unused",
         {.width = 2, .bitCount = 32, .pixels = {10, 20, 30, 0, 40, 50, 60, 255}},
         {{30, 20, 10}, {60, 50, 40}},
         -1},
        {"32-bit XBGR fields after a 40-byte header carry no alpha",
         {.width = 2,
          .bitCount = 32,
          .compression = 3,
          .pixels = {0, 10, 20, 30, 0, 1, 2, 3},
          .masks = {0xFF000000, 0xFF0000, 0xFF00}},
         {{30, 20, 10}, {3, 2, 1}},
         -1},
        {"32-bit V5 fields with an alpha mask",
         {.headerSize = 124,
          .width = 2,
          .bitCount = 32,
          .compression = 3,
          .pixels = {10, 20, 30, 127, 40, 50, 60, 128},
          .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000}},
         {{0, 0, 0}, {60, 50, 40}},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const pz4fmt::Frame f = decodeOne(bmpFile(c.layout));
        ASSERT_EQ(f.pixels.size(), 2u);
        EXPECT_EQ(f.transparentIndex, c.transparent);
        for (size_t x = 0; x < 2; ++x)
            EXPECT_EQ(rgb(f.pixels[x], f), c.colours[x]) << "pixel " << x;
    }
}

TEST(BmpDecode, OneAndFourBitRows) {
    BmpLayout one{.width = 10, .height = 2, .bitCount = 1, .palette = storedPalette(2)};
    one.pixels = {0xAA, 0xC0, 0, 0,  // row 0: 1010101011
                  0x00, 0x40, 0, 0}; // row 1: 0000000001, and no padding needed...
    one.pixels.resize(6);            // ...on the last row, which writers often drop
    const pz4fmt::Frame f1 = decodeOne(bmpFile(one));
    EXPECT_EQ(f1.pixels, (Bytes{1, 0, 1, 0, 1, 0, 1, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(f1.colorCount, 2);

    BmpLayout four{.width = 3, .bitCount = 4, .palette = storedPalette(16)};
    four.pixels = {0x12, 0xF0, 0, 0}; // 1 2 15, a spare nibble, padding
    const pz4fmt::Frame f4 = decodeOne(bmpFile(four));
    EXPECT_EQ(f4.pixels, (Bytes{1, 2, 15}));
    EXPECT_EQ(f4.colorCount, 16);
    EXPECT_EQ(rgb(15, f4), (Bytes{150, 151, 152}));
}

TEST(BmpDecode, Rle8RunsLiteralsDeltaAndEscapes) {
    const pz4fmt::Frame f = decodeOne(bmpFile(rle8()));
    EXPECT_EQ(f.pixels, (Bytes{7, 7, 7, 9, 9, //
                               1, 2, 3, 0, 0, // skipped by the delta
                               0, 0, 0, 0, 5}));
    EXPECT_EQ(f.colorCount, 10);

    BmpLayout topDown = rle8();
    topDown.height = -3;
    EXPECT_EQ(decodeOne(bmpFile(topDown)).pixels,
              (Bytes{0, 0, 0, 0, 5, 1, 2, 3, 0, 0, 7, 7, 7, 9, 9}));
}

TEST(BmpDecode, RleRunsIntoTheRowPaddingAreClipped) {
    // Rows of 5 are stored padded to 8 pixels; some writers fill that padding by run.
    BmpLayout l = rle8();
    l.pixels[2] = 5; // 7 7 7, then five 9s: two fit, three fall in the padding
    EXPECT_EQ(decodeOne(bmpFile(l)).pixels, (Bytes{7, 7, 7, 9, 9, 1, 2, 3, 0, 0, 0, 0, 0, 0, 5}));
}

TEST(BmpDecode, Rle4AlternatesNibbles) {
    BmpLayout l{
        .width = 4, .height = 2, .bitCount = 4, .compression = 2, .palette = storedPalette(16)};
    l.pixels = {
        0x04, 0x12,             // row 0: 1 2 1 2
        0x00, 0x00,             // end of line
        0x00, 0x03, 0xAB, 0xC0, // row 1: literal 10 11 12 in two bytes (a word already)
        0x01, 0xF0,             // run of one: 15
        0x00, 0x01,             // end of bitmap
    };
    EXPECT_EQ(decodeOne(bmpFile(l)).pixels, (Bytes{1, 2, 1, 2, 10, 11, 12, 15}));
}

TEST(BmpDecode, OtherHeaders) {
    // OS/2 1.x: 12-byte header, 16-bit sizes, 3-byte palette entries.
    const pz4fmt::Frame core = decodeOne(bmpFile(
        {.headerSize = 12, .width = 2, .palette = storedPalette(2, 3), .pixels = {1, 0, 0, 0}}));
    EXPECT_EQ(core.pixels, (Bytes{1, 0}));
    EXPECT_EQ(core.colorCount, 2);
    EXPECT_EQ(rgb(1, core), (Bytes{10, 11, 12}));
    // 124-byte V5 header.
    const pz4fmt::Frame v5 = decodeOne(bmpFile(
        {.headerSize = 124, .colorsUsed = 4, .palette = storedPalette(4), .pixels = {3, 0, 0, 0}}));
    EXPECT_EQ(v5.pixels, (Bytes{3}));
    EXPECT_EQ(rgb(3, v5), (Bytes{30, 31, 32}));
    // OS/2 2.x headers may end after the bit count.
    const pz4fmt::Frame os2 = decodeOne(bmpFile(
        {.headerSize = 16, .width = 2, .palette = storedPalette(2), .pixels = {0, 1, 0, 0}}));
    EXPECT_EQ(os2.pixels, (Bytes{0, 1}));
}

TEST(BmpDecode, PaletteEndsWhereThePixelsBegin) {
    // colorsUsed 0 promises 256 entries; only two fit before the pixels.
    const pz4fmt::Frame f =
        decodeOne(bmpFile({.palette = storedPalette(2), .pixels = {1, 0, 0, 0}}));
    EXPECT_EQ(f.colorCount, 2);
    EXPECT_EQ(rgb(1, f), (Bytes{10, 11, 12}));
}

TEST(BmpDecode, DamagedFilesAreRefused) {
    const struct {
        const char* what;
        const char* reason; // what the decoder says
        BmpLayout layout;
        std::function<void(Bytes&)> damage;
    } cases[] = {
        {"not a bitmap", "not a bitmap (no \"BM\" at the start)", eightBit(),
         [](Bytes& b) { b[1] = 'A'; }},
        {"unknown header size", "header size 8 is not a bitmap header's", eightBit(),
         [](Bytes& b) { b[14] = 8; }},
        {"header past the end", "header of 4136 bytes is longer than the file", eightBit(),
         [](Bytes& b) { b[15] = 0x10; }},
        {"seven bits", "7 bits per pixel with compression 0 is not supported", eightBit(),
         [](Bytes& b) { b[28] = 7; }},
        {"bit fields", "8 bits per pixel with compression 3 is not supported", eightBit(),
         [](Bytes& b) { b[30] = 3; }},
        {"RLE8 at four bits", "4 bits per pixel with compression 1 is not supported", eightBit(),
         [](Bytes& b) { b[28] = 4, b[30] = 1; }},
        {"zero width", "picture of 0x2 pixels is empty", eightBit(), [](Bytes& b) { b[18] = 0; }},
        {"zero height", "picture of 3x0 pixels is empty", eightBit(), [](Bytes& b) { b[22] = 0; }},
        {"most negative height", "picture of 3x2147483648 pixels is larger than 16384 a side",
         eightBit(), [](Bytes& b) { b[22] = b[23] = b[24] = 0, b[25] = 0x80; }},
        {"wider than the cap", "picture of 32771x2 pixels is larger than 16384 a side", eightBit(),
         [](Bytes& b) { b[19] = 0x80; }},
        {"pixel offset past the end", "pixels said to start at byte 4162, outside bytes 54 to 73",
         eightBit(), [](Bytes& b) { b[11] = 0x10; }},
        {"pixel offset inside the header",
         "pixels said to start at byte 20, outside bytes 54 to 73", eightBit(),
         [](Bytes& b) { b[10] = 20; }},
        {"pixels cut short", "file of 72 bytes is too short for 2 rows", eightBit(),
         [](Bytes& b) { b.resize(b.size() - 2); }},
        {"RLE run past the row padding", "a run of 6 pixels passes the end of row 0", rle8(),
         [](Bytes& b) { b[kRleAt + 2] = 6; }},
        {"RLE literal past the row padding", "9 literal pixels pass the end of row 1", rle8(),
         [](Bytes& b) { b[kRleAt + 7] = 9; }},
        {"RLE delta past the picture", "a skip leads outside the picture, to column 4 of row 4",
         rle8(), [](Bytes& b) { b[kRleAt + 15] = 3; }},
        {"RLE ends before the picture", "file ends inside row 2", rle8(),
         [](Bytes& b) { b.resize(b.size() - 4); }},
        {"bit fields of a 16-bit pixel past 16 bits",
         "bit field mask 00ff0000 does not fit 16-bit pixels",
         {.width = 2,
          .bitCount = 16,
          .compression = 3,
          .pixels = {0, 0, 0, 0},
          .masks = {0xFF0000, 0xFF00, 0xFF}},
         [](Bytes&) {}},
        {"bit fields with a gap",
         "bit field mask 0000f0f0 does not fit 32-bit pixels",
         {.width = 1,
          .bitCount = 32,
          .compression = 3,
          .pixels = {0, 0, 0, 0},
          .masks = {0xF0F0, 0xFF0000, 0xFF}},
         [](Bytes&) {}},
        {"bit fields cut off",
         "file ends inside the bit field masks",
         {.width = 1, .bitCount = 32, .compression = 3, .pixels = {}, .masks = {0xFF}},
         [](Bytes&) {}},
    };
    for (const auto& c : cases) {
        Bytes bad = bmpFile(c.layout);
        c.damage(bad);
        pz4fmt::Image image;
        pz4fmt::Failure why;
        EXPECT_FALSE(pz4bmp::decodeBmp(bad.data(), bad.size(), image, &why)) << c.what;
        EXPECT_EQ(why.reason(), c.reason) << c.what;
        EXPECT_TRUE(image.frames.empty()) << c.what;
    }
}

TEST(BmpEncode, RoundTripsKeepPixelsPaletteAndColourCount) {
    for (auto [w, h, colours] : {std::tuple{1, 1, 2},
                                 {2, 3, 16},
                                 {3, 2, 256},
                                 {5, 7, 100},
                                 {64, 1, 256},
                                 {1, 64, 7},
                                 {17, 19, 256}}) {
        const Picture p = samplePicture(w, h, colours);
        const Bytes file = pz4bmp::encodeBmp(saveInputOf(p));
        const pz4fmt::Frame f = decodeOne(file);
        EXPECT_EQ(f.pixels, p.pixels) << w << "x" << h;
        EXPECT_EQ(f.colorCount, colours);
        EXPECT_TRUE(
            std::equal(f.palette.begin(), f.palette.begin() + 3 * colours, p.palette.begin()));
        // Rows are stored bottom-up, each padded to four bytes.
        const size_t stride = (static_cast<size_t>(w) + 3) & ~size_t{3};
        EXPECT_EQ(file.size(), 14 + 40 + 4 * static_cast<size_t>(colours) + stride * h);
    }
}

TEST(BmpEncode, PaletteCoversEveryPixelValue) {
    // A frame claiming four colours while using index 200 keeps that pixel's colour.
    Picture p = samplePicture(3, 1);
    p.pixels = {0, 3, 200};
    p.colorCount = 4;
    const pz4fmt::Frame f = decodeOne(pz4bmp::encodeBmp(saveInputOf(p)));
    EXPECT_EQ(f.colorCount, 201);
    EXPECT_EQ(rgb(200, f), Bytes(p.palette.begin() + 600, p.palette.begin() + 603));

    p.colorCount = 1000; // beyond what a palette holds
    EXPECT_EQ(decodeOne(pz4bmp::encodeBmp(saveInputOf(p))).colorCount, 256);
}

TEST(BmpCorruption, TruncatedAndFlippedFilesNeverMisbehave) {
    shake(pz4bmp::decodeBmp, bmpFile(eightBit()));
    shake(pz4bmp::decodeBmp, bmpFile(rle8()));
    shake(pz4bmp::decodeBmp, bmpFile({.headerSize = 124,
                                      .width = 3,
                                      .height = 2,
                                      .bitCount = 32,
                                      .compression = 3,
                                      .pixels = Bytes(24, 0x80),
                                      .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000}}));
    BmpLayout rle4{
        .width = 4,
        .height = 2,
        .bitCount = 4,
        .compression = 2,
        .palette = storedPalette(16),
        .pixels = {0x04, 0x12, 0x00, 0x00, 0x00, 0x03, 0xAB, 0xC0, 0x01, 0xF0, 0x00, 0x01}};
    shake(pz4bmp::decodeBmp, bmpFile(rle4));
}
