#include "PcxCodec.h"
#include "RasterTestKit.h"

#include <gtest/gtest.h>

#include <functional>

using namespace rastertest;

namespace {

struct PcxHeader {
    int version = 5;
    int encoding = 1;
    int bitsPerPixel = 8;
    int width = 1;
    int height = 1;
    int planes = 1;
    int bytesPerLine = 2;
    Bytes palette16 = Bytes(48, 0);
};

// The 128-byte header, field by field.
ByteWriter pcxHeader(const PcxHeader& h) {
    ByteWriter w;
    w.u8({0x0A});           // manufacturer
    w.u8({h.version});      // 5: 256-colour trailer possible, 3: no header palette
    w.u8({h.encoding});     // 1: run-length, 0: raw
    w.u8({h.bitsPerPixel}); // bits per pixel in one plane
    w.le16(0).le16(0);      // xmin, ymin
    w.le16(h.width - 1);    // xmax
    w.le16(h.height - 1);   // ymax
    w.le16(72).le16(72);    // dpi
    w.bytes(h.palette16);   // 16 RGB entries
    w.u8({0});              // reserved
    w.u8({h.planes});       // colour planes
    w.le16(h.bytesPerLine); // bytes per plane line, padding included
    w.le16(1);              // palette info: colour
    w.le16(0).le16(0);      // screen size
    w.fill(54, 0);          // filler to 128 bytes
    return w;
}

// The 769-byte trailer of 8-bit files: marker and 256 RGB entries, entry k = (k, 2k, 255-k).
Bytes trailer() {
    ByteWriter w;
    w.u8({0x0C});
    for (int k = 0; k < 256; ++k)
        w.u8({k, (2 * k) & 0xFF, 255 - k});
    return w.data();
}

pz4fmt::Frame decodeOne(const Bytes& file) {
    return rastertest::decodeOne(pz4pcx::decodePcx, file);
}

// 3 x 2, 8-bit; lines padded to 4 bytes.
Bytes eightBitFile() {
    ByteWriter w = pcxHeader({.width = 3, .height = 2, .bytesPerLine = 4});
    w.u8({0x01, 0x02, 0x03, 0x00}); // top line: three literals and the pad byte
    w.u8({0xC3, 0xC8, 0x00});       // bottom line: a run of three 200s (200 >= 0xC0 needs one), pad
    w.bytes(trailer());
    return w.data();
}

} // namespace

TEST(PcxDecode, EightBitLinesFlipToBottomUpWithTrailerPalette) {
    const pz4fmt::Frame f = decodeOne(eightBitFile());
    EXPECT_EQ(f.width, 3);
    EXPECT_EQ(f.height, 2);
    EXPECT_EQ(f.pixels, (Bytes{200, 200, 200, 1, 2, 3}));
    EXPECT_TRUE(f.hasPalette);
    EXPECT_EQ(f.colorCount, 256);
    EXPECT_EQ(rgb(200, f), (Bytes{200, 144, 55}));
}

TEST(PcxDecode, OneBitWithOddLinePaddingAndHeaderPalette) {
    Bytes palette(48, 0);
    palette[3] = 0x10, palette[4] = 0x20, palette[5] = 0x30; // entry 1
    ByteWriter w = pcxHeader(
        {.bitsPerPixel = 1, .width = 10, .height = 2, .bytesPerLine = 3, .palette16 = palette});
    w.u8({0xAA, 0xC1, 0xC0, 0x00}); // top: 1010101011 (0xC0 as a run of one), pad byte
    w.u8({0x00, 0x40, 0x00});       // bottom: 0000000001, pad byte
    const pz4fmt::Frame f = decodeOne(w.data());
    EXPECT_EQ(f.pixels, (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 1, 0, 1, 0, 1, 0, 1, 1}));
    EXPECT_EQ(f.colorCount, 2);
    EXPECT_EQ(rgb(1, f), (Bytes{0x10, 0x20, 0x30}));
}

TEST(PcxDecode, MonochromeWithBlankPaletteIsBlackOnWhite) {
    ByteWriter w = pcxHeader({.bitsPerPixel = 1, .width = 8, .bytesPerLine = 2});
    w.u8({0x0F, 0x00}); // 00001111, pad
    const pz4fmt::Frame f = decodeOne(w.data());
    EXPECT_EQ(f.pixels, (Bytes{0, 0, 0, 0, 1, 1, 1, 1}));
    EXPECT_EQ(rgb(0, f), (Bytes{0, 0, 0}));
    EXPECT_EQ(rgb(1, f), (Bytes{255, 255, 255}));
}

TEST(PcxDecode, FourBitPackedNibbles) {
    Bytes palette(48);
    for (int i = 0; i < 48; ++i)
        palette[i] = static_cast<uint8_t>(i);
    ByteWriter w = pcxHeader(
        {.bitsPerPixel = 4, .width = 3, .height = 1, .bytesPerLine = 2, .palette16 = palette});
    w.u8({0x12, 0xC1, 0xF0}); // 1 2 | 15 and a zero nibble; 0xF0 must be a run of one
    const pz4fmt::Frame f = decodeOne(w.data());
    EXPECT_EQ(f.pixels, (Bytes{1, 2, 15}));
    EXPECT_EQ(f.colorCount, 16);
    EXPECT_EQ(rgb(15, f), (Bytes{45, 46, 47}));
}

TEST(PcxDecode, FourEgaPlanesCombineIntoOneIndex) {
    Bytes palette(48);
    for (int i = 0; i < 48; ++i)
        palette[i] = static_cast<uint8_t>(100 + i);
    // Pixels 15 0 5 10 1 2 4 8; one byte per plane line (odd), planes low bit first.
    ByteWriter w = pcxHeader({.bitsPerPixel = 1,
                              .width = 8,
                              .height = 1,
                              .planes = 4,
                              .bytesPerLine = 1,
                              .palette16 = palette});
    w.u8({0xA8}); // plane 0: 10101000
    w.u8({0x94}); // plane 1: 10010100
    w.u8({0xA2}); // plane 2: 10100010
    w.u8({0x91}); // plane 3: 10010001
    const pz4fmt::Frame f = decodeOne(w.data());
    EXPECT_EQ(f.pixels, (Bytes{15, 0, 5, 10, 1, 2, 4, 8}));
    EXPECT_EQ(f.colorCount, 16);
    EXPECT_EQ(rgb(10, f), (Bytes{130, 131, 132}));
}

TEST(PcxDecode, OldVersionWithoutHeaderPaletteGetsEgaColours) {
    ByteWriter w = pcxHeader({.version = 3, .bitsPerPixel = 4, .width = 2, .bytesPerLine = 2});
    w.u8({0x9E, 0x00}); // pixels 9 and 14
    const pz4fmt::Frame f = decodeOne(w.data());
    EXPECT_EQ(f.pixels, (Bytes{9, 14}));
    EXPECT_EQ(rgb(9, f), (Bytes{0x55, 0x55, 0xFF}));
    EXPECT_EQ(rgb(14, f), (Bytes{0xFF, 0xFF, 0x55}));
}

TEST(PcxDecode, RunCarriedIntoTheNextLineAndRawFiles) {
    ByteWriter carried = pcxHeader({.width = 2, .height = 2, .bytesPerLine = 2});
    carried.u8({0xC4, 0x07}).bytes(trailer()); // one run paints both lines
    EXPECT_EQ(decodeOne(carried.data()).pixels, (Bytes{7, 7, 7, 7}));

    ByteWriter raw = pcxHeader({.encoding = 0, .width = 2, .height = 1, .bytesPerLine = 2});
    raw.u8({0xC5, 0x03}).bytes(trailer()); // 0xC5 is a pixel, not a count
    EXPECT_EQ(decodeOne(raw.data()).pixels, (Bytes{0xC5, 0x03}));
}

TEST(PcxDecode, DamagedFilesAreRefused) {
    const Bytes good = eightBitFile();
    const struct {
        const char* what;
        const char* reason; // what the decoder says
        std::function<void(Bytes&)> damage;
    } cases[] = {
        {"not a PCX", "not a PCX file (first byte 11, not 10)", [](Bytes& b) { b[0] = 0x0B; }},
        {"unknown encoding", "unknown encoding 2", [](Bytes& b) { b[2] = 2; }},
        {"xmax before xmin", "picture ends at column 2, left of its start at 5",
         [](Bytes& b) { b[4] = 5; }},
        {"wider than the cap", "picture of 32769x2 pixels is larger than 16384 a side",
         [](Bytes& b) { b[8] = 0x00, b[9] = 0x80; }},
        {"24-bit colour planes", "8 bits per pixel in 3 planes is not a PCX layout",
         [](Bytes& b) { b[65] = 3; }},
        {"line shorter than its pixels", "2 bytes per line are too few for 3 pixels",
         [](Bytes& b) { b[66] = 2; }},
        {"palette marker missing", "256-colour palette missing at the end of the file",
         [](Bytes& b) { b[b.size() - 769] = 0x0D; }},
        {"palette cut short", "256-colour palette missing at the end of the file",
         [](Bytes& b) { b.resize(b.size() - 1); }},
        {"header cut short", "file of 100 bytes is shorter than a PCX header",
         [](Bytes& b) { b.resize(100); }},
        {"pixel data cut short", "file ends inside row 1",
         [](Bytes& b) { b.erase(b.begin() + 132, b.begin() + 134); }},
        // 16384 lines from seven bytes of data.
        {"gigantic claim", "file of 904 bytes is too short for 16384 rows",
         [](Bytes& b) { b[10] = 0xFF, b[11] = 0x3F; }},
        {"run past the last line", "a run continues past the last row",
         [](Bytes& b) { b[132] = 0xC5; }},
    };
    for (const auto& c : cases) {
        Bytes bad = good;
        c.damage(bad);
        pz4fmt::Image image;
        pz4fmt::Failure why;
        EXPECT_FALSE(pz4pcx::decodePcx(bad.data(), bad.size(), image, &why)) << c.what;
        EXPECT_EQ(why.reason(), c.reason) << c.what;
        EXPECT_TRUE(image.frames.empty()) << c.what;
    }
}

TEST(PcxEncode, RoundTripsKeepPixelsPaletteAndOrientation) {
    for (auto [w, h] : {std::pair{1, 1}, {2, 3}, {3, 2}, {64, 1}, {1, 64}, {255, 3}, {17, 19}}) {
        const Picture p = samplePicture(w, h);
        const Bytes file = pz4pcx::encodePcx(saveInputOf(p));
        const pz4fmt::Frame f = decodeOne(file);
        EXPECT_EQ(f.width, w);
        EXPECT_EQ(f.height, h);
        EXPECT_EQ(f.pixels, p.pixels) << w << "x" << h;
        EXPECT_EQ(f.palette, p.palette);
        EXPECT_EQ(f.colorCount, 256);
    }
}

TEST(PcxEncode, WritesTopLineFirstAndCompressesRuns) {
    Picture p = samplePicture(100, 2);
    std::fill(p.pixels.begin(), p.pixels.begin() + 100, 5); // bottom row
    std::fill(p.pixels.begin() + 100, p.pixels.end(), 9);   // top row
    const Bytes file = pz4pcx::encodePcx(saveInputOf(p));
    // Each 100-pixel line (even, so no pad byte): a run of 63 and one of 37.
    const Bytes lines{0xFF, 9, 0xE5, 9, 0xFF, 5, 0xE5, 5};
    ASSERT_EQ(file.size(), 128 + lines.size() + 769);
    EXPECT_TRUE(std::equal(lines.begin(), lines.end(), file.begin() + 128));
}

TEST(PcxCorruption, TruncatedAndFlippedFilesNeverMisbehave) {
    shake(pz4pcx::decodePcx, eightBitFile());
    shake(pz4pcx::decodePcx, pz4pcx::encodePcx(saveInputOf(samplePicture(9, 7))), 1500);
    ByteWriter ega =
        pcxHeader({.bitsPerPixel = 1, .width = 8, .height = 1, .planes = 4, .bytesPerLine = 1});
    ega.u8({0xA8, 0x94, 0xA2, 0x91});
    shake(pz4pcx::decodePcx, ega.data());
}
