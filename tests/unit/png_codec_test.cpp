#include "PngCodec.h"
#include "RasterTestKit.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <string>
#include <tuple>

using namespace rastertest;

namespace {

constexpr int kGrey = 0, kRgb = 2, kPalette = 3, kGreyAlpha = 4, kRgba = 6;

void chunk(ByteWriter& w, const std::string& type, const Bytes& body) {
    w.be32(static_cast<uint32_t>(body.size())); // length
    Bytes typed(type.begin(), type.end());
    typed.insert(typed.end(), body.begin(), body.end());
    w.bytes(typed); // type and data
    w.be32(static_cast<uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size())))); // CRC
}

Bytes deflate(const Bytes& raw) {
    uLongf n = compressBound(static_cast<uLong>(raw.size()));
    Bytes out(n);
    EXPECT_EQ(compress(out.data(), &n, raw.data(), static_cast<uLong>(raw.size())), Z_OK);
    out.resize(n);
    return out;
}

struct PngLayout {
    int width = 1;
    int height = 1;
    int depth = 8;
    int colourType = kPalette;
    int interlace = 0;
    int paletteEntries = 16; // 0: no PLTE chunk
    Bytes raw{};             // filtered scanlines: a filter byte (0, none) and the row, top first
    Bytes transparency{};    // tRNS body, none when empty
    Bytes background{};      // bKGD body, none when empty
};

// Signature, IHDR, PLTE, tRNS, one IDAT, IEND.
Bytes pngFile(const PngLayout& l) {
    ByteWriter w;
    w.u8({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
    ByteWriter ihdr;
    ihdr.be32(static_cast<uint32_t>(l.width)).be32(static_cast<uint32_t>(l.height));
    ihdr.u8({l.depth});      // bits per sample
    ihdr.u8({l.colourType}); // 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
    ihdr.u8({0, 0});         // deflate, adaptive filters
    ihdr.u8({l.interlace});  // 0 none, 1 Adam7
    chunk(w, "IHDR", ihdr.data());
    if (l.paletteEntries > 0) {
        ByteWriter plte; // entry k = (k, 100 + k, 255 - k)
        for (int k = 0; k < l.paletteEntries; ++k)
            plte.u8({k, (100 + k) & 0xFF, 255 - k});
        chunk(w, "PLTE", plte.data());
    }
    if (!l.transparency.empty())
        chunk(w, "tRNS", l.transparency);
    if (!l.background.empty())
        chunk(w, "bKGD", l.background);
    chunk(w, "IDAT", deflate(l.raw));
    chunk(w, "IEND", {});
    return w.data();
}

pz4fmt::Frame decodeOne(const Bytes& file) {
    return rastertest::decodeOne(pz4png::decodePng, file);
}

// 3 x 2, palette, 8 bits.
PngLayout eightBit() {
    return {.width = 3, .height = 2, .raw = {0, 0, 1, 2, /* top */ 0, 2, 2, 1 /* bottom */}};
}

// The scanlines of an 8-bit image stored in Adam7 order: seven passes over a
// coarse-to-fine grid, each pass its own rows. `top` is the picture top row first.
Bytes adam7(const Bytes& top, int width, int height) {
    const int x0[] = {0, 4, 0, 2, 0, 1, 0}, dx[] = {8, 8, 4, 4, 2, 2, 1};
    const int y0[] = {0, 0, 4, 0, 2, 0, 1}, dy[] = {8, 8, 8, 4, 4, 2, 2};
    Bytes raw;
    for (int p = 0; p < 7; ++p)
        for (int y = y0[p]; y < height; y += dy[p]) {
            if (x0[p] >= width)
                continue;
            raw.push_back(0);
            for (int x = x0[p]; x < width; x += dx[p])
                raw.push_back(top[static_cast<size_t>(y) * width + x]);
        }
    return raw;
}

} // namespace

TEST(PngDecode, EightBitPaletteFlipsToBottomUp) {
    const pz4fmt::Frame f = decodeOne(pngFile(eightBit()));
    EXPECT_EQ(f.width, 3);
    EXPECT_EQ(f.height, 2);
    EXPECT_EQ(f.pixels, (Bytes{2, 2, 1, 0, 1, 2}));
    EXPECT_TRUE(f.hasPalette);
    EXPECT_EQ(f.colorCount, 16);
    EXPECT_EQ(rgb(2, f), (Bytes{2, 102, 253}));
}

TEST(PngDecode, LowBitDepthPalettesExpandToOneIndexPerPixel) {
    const struct {
        int depth, width;
        Bytes row; // stored, after the filter byte
        Bytes pixels;
    } cases[] = {
        {1, 10, {0xAA, 0xC0}, {1, 0, 1, 0, 1, 0, 1, 0, 1, 1}},
        {2, 5, {0x1B, 0x80}, {0, 1, 2, 3, 2}},
        {4, 3, {0x12, 0xF0}, {1, 2, 15}},
    };
    for (const auto& c : cases) {
        Bytes raw{0};
        raw.insert(raw.end(), c.row.begin(), c.row.end());
        const pz4fmt::Frame f =
            decodeOne(pngFile({.width = c.width, .depth = c.depth, .raw = raw}));
        EXPECT_EQ(f.pixels, c.pixels) << c.depth << " bits";
        // A palette longer than the depth can address is cut to what it can.
        EXPECT_EQ(f.colorCount, std::min(16, 1 << c.depth));
    }
}

TEST(PngDecode, GreyBecomesARampPalette) {
    const struct {
        int depth;
        Bytes raw;
        Bytes pixels;
        int levels;
        int brightOfOne; // the grey shown for sample value 1
    } cases[] = {
        {8, {0, 0, 1, 255}, {0, 1, 255}, 256, 1},
        {4, {0, 0x01, 0xF0}, {0, 1, 15}, 16, 17},
        {1, {0, 0x40}, {0, 1, 0}, 2, 255},
        {16, {0, 0, 0, 0x01, 0xFF, 0xFF, 0xFF}, {0, 1, 255}, 256, 1}, // high bytes kept
    };
    for (const auto& c : cases) {
        const pz4fmt::Frame f = decodeOne(pngFile({.width = 3,
                                                   .depth = c.depth,
                                                   .colourType = kGrey,
                                                   .paletteEntries = 0,
                                                   .raw = c.raw}));
        EXPECT_EQ(f.pixels, c.pixels) << c.depth << " bits";
        EXPECT_EQ(f.colorCount, c.levels);
        const uint8_t one = static_cast<uint8_t>(c.brightOfOne);
        EXPECT_EQ(rgb(1, f), (Bytes{one, one, one}));
        EXPECT_EQ(rgb(c.levels - 1, f), (Bytes{255, 255, 255}));
    }
}

TEST(PngDecode, TransparencyIsIgnored) {
    PngLayout l = eightBit();
    l.transparency = {0, 128}; // entry 0 clear, entry 1 half
    const pz4fmt::Frame f = decodeOne(pngFile(l));
    EXPECT_EQ(f.pixels, (Bytes{2, 2, 1, 0, 1, 2}));
    EXPECT_EQ(rgb(0, f), (Bytes{0, 100, 255}));
}

TEST(PngDecode, LargeTextChunksAreSkipped) {
    ByteWriter w;
    const Bytes plain = pngFile(eightBit());
    w.bytes(Bytes(plain.begin(), plain.begin() + 33)); // signature and IHDR
    chunk(w, "tEXt", Bytes(size_t{9} << 20, 'a'));     // beyond the cap on chunks kept in memory
    w.bytes(Bytes(plain.begin() + 33, plain.end()));   // PLTE, IDAT, IEND
    EXPECT_EQ(decodeOne(w.data()).pixels, (Bytes{2, 2, 1, 0, 1, 2}));
}

TEST(PngDecode, InterlacedPassesBuildThePicture) {
    const int w = 11, h = 9;
    const Picture p = samplePicture(w, h, 16);
    Bytes top;
    for (int y = h - 1; y >= 0; --y)
        for (int x = 0; x < w; ++x)
            top.push_back(p.at(x, y));
    const pz4fmt::Frame f =
        decodeOne(pngFile({.width = w, .height = h, .interlace = 1, .raw = adam7(top, w, h)}));
    EXPECT_EQ(f.pixels, p.pixels);
}

// Colour and alpha images keep their colours exactly, in the order they appear,
// and every see-through pixel shares one entry of the bKGD colour (else black).
TEST(PngDecode, ColourAndAlphaImagesArePalettised) {
    const struct {
        const char* what;
        PngLayout layout; // three pixels in one row
        Bytes pixels;
        std::vector<Bytes> palette;
        int transparent;
    } cases[] = {
        {"RGB",
         {.width = 3,
          .colourType = kRgb,
          .paletteEntries = 0,
          .raw = {0, 10, 20, 30, 40, 50, 60, 10, 20, 30}},
         {0, 1, 0},
         {{10, 20, 30}, {40, 50, 60}},
         -1},
        {"RGBA: alpha 0 see-through, 128 kept unpremultiplied",
         {.width = 3,
          .colourType = kRgba,
          .paletteEntries = 0,
          .raw = {0, 10, 20, 30, 255, 1, 2, 3, 0, 40, 50, 60, 128}},
         {0, 1, 2},
         {{10, 20, 30}, {0, 0, 0}, {40, 50, 60}},
         1},
        {"RGBA: an opaque black apart from the see-through entry, shown in bKGD",
         {.width = 3,
          .colourType = kRgba,
          .paletteEntries = 0,
          .raw = {0, 0, 0, 0, 255, 9, 9, 9, 127, 0, 0, 0, 0},
          .background = {0, 200, 0, 100, 0, 50}},
         {0, 1, 1},
         {{0, 0, 0}, {200, 100, 50}},
         1},
        {"grey with alpha",
         {.width = 3,
          .colourType = kGreyAlpha,
          .paletteEntries = 0,
          .raw = {0, 90, 255, 90, 0, 7, 200}},
         {0, 1, 2},
         {{90, 90, 90}, {0, 0, 0}, {7, 7, 7}},
         1},
        {"16-bit RGB rounds rather than cuts",
         {.width = 1,
          .depth = 16,
          .colourType = kRgb,
          .paletteEntries = 0,
          .raw = {0, 0x01, 0xFF, 0x00, 0xFF, 0x80, 0x80}},
         {0},
         {{2, 1, 128}},
         -1},
        {"16-bit grey with alpha and a 16-bit bKGD",
         {.width = 2,
          .depth = 16,
          .colourType = kGreyAlpha,
          .paletteEntries = 0,
          .raw = {0, 0x12, 0x34, 0xFF, 0xFF, 0x00, 0x00, 0x7F, 0xFF},
          .background = {0x01, 0xFF}},
         {0, 1},
         {{0x12, 0x12, 0x12}, {2, 2, 2}},
         1},
        {"RGB with a tRNS colour key",
         {.width = 3,
          .colourType = kRgb,
          .paletteEntries = 0,
          .raw = {0, 10, 20, 30, 40, 50, 60, 40, 50, 60},
          .transparency = {0, 40, 0, 50, 0, 60}},
         {0, 1, 1},
         {{10, 20, 30}, {0, 0, 0}},
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const pz4fmt::Frame f = decodeOne(pngFile(c.layout));
        EXPECT_EQ(f.pixels, c.pixels);
        ASSERT_EQ(f.colorCount, static_cast<int>(c.palette.size()));
        for (int k = 0; k < f.colorCount; ++k)
            EXPECT_EQ(rgb(k, f), c.palette[static_cast<size_t>(k)]) << "entry " << k;
        EXPECT_EQ(f.transparentIndex, c.transparent);
    }
}

TEST(PngDecode, DamagedFilesAreRefused) {
    const struct {
        const char* what;
        const char* reason; // what the decoder says
        PngLayout layout;
        std::function<void(Bytes&)> damage;
    } cases[] = {
        {"not a PNG", "not a PNG file (no PNG signature)", eightBit(),
         [](Bytes& b) { b[1] = 'Q'; }},
        {"palette image without PLTE", "IDAT: Missing PLTE before IDAT",
         [] {
             PngLayout l = eightBit();
             l.paletteEntries = 0;
             return l;
         }(),
         [](Bytes&) {}},
        {"zero width", "Invalid IHDR data (Image width is zero in IHDR)",
         [] {
             PngLayout l = eightBit();
             l.width = 0;
             return l;
         }(),
         [](Bytes&) {}},
        {"wider than the cap", "Invalid IHDR data (Image width exceeds user limit in IHDR)",
         [] {
             PngLayout l = eightBit();
             l.width = pz4fmt::kMaxSide + 1;
             return l;
         }(),
         [](Bytes&) {}},
        // 16384 x 16384 from a few dozen bytes of deflate.
        {"gigantic claim", "file of 133 bytes is too short for 16384 rows",
         [] {
             PngLayout l = eightBit();
             l.width = l.height = pz4fmt::kMaxSide;
             return l;
         }(),
         [](Bytes&) {}},
        {"rows missing", "Not enough image data",
         [] {
             PngLayout l = eightBit();
             l.raw.resize(4);
             return l;
         }(),
         [](Bytes&) {}},
        {"empty PLTE", "Invalid palette",
         [] {
             PngLayout l = eightBit();
             l.paletteEntries = 0;
             return l;
         }(),
         [](Bytes& b) {
             ByteWriter plte;
             chunk(plte, "PLTE", {});
             b.insert(b.begin() + 33, plte.data().begin(), plte.data().end()); // after IHDR
         }},
        {"header checksum wrong", "IHDR: CRC error", eightBit(), [](Bytes& b) { b[29] ^= 1; }},
        {"cut inside the pixels", "file cut short", eightBit(),
         [](Bytes& b) { b.resize(b.size() - 20); }},
    };
    for (const auto& c : cases) {
        Bytes bad = pngFile(c.layout);
        c.damage(bad);
        pz4fmt::Image image;
        pz4fmt::Failure why;
        EXPECT_FALSE(pz4png::decodePng(bad.data(), bad.size(), image, &why)) << c.what;
        EXPECT_EQ(why.reason(), c.reason) << c.what;
        EXPECT_TRUE(image.frames.empty()) << c.what;
    }
}

TEST(PngEncode, RoundTripsKeepPixelsAndAPaletteOfColourCountEntries) {
    for (auto [w, h, colours] : {std::tuple{1, 1, 1},
                                 {2, 3, 16},
                                 {3, 2, 256},
                                 {5, 7, 100},
                                 {64, 1, 256},
                                 {1, 64, 7},
                                 {300, 200, 256}}) {
        const Picture p = samplePicture(w, h, colours);
        const Bytes file = pz4png::encodePng(saveInputOf(p));
        ASSERT_GT(file.size(), 33u);
        EXPECT_EQ(file[24], 8);        // bit depth
        EXPECT_EQ(file[25], kPalette); // colour type
        const pz4fmt::Frame f = decodeOne(file);
        EXPECT_EQ(f.pixels, p.pixels) << w << "x" << h;
        EXPECT_EQ(f.colorCount, colours);
        EXPECT_TRUE(
            std::equal(f.palette.begin(), f.palette.begin() + 3 * colours, p.palette.begin()));
    }
}

TEST(PngEncode, PaletteCoversEveryPixelValue) {
    Picture p = samplePicture(3, 1);
    p.pixels = {0, 3, 200};
    p.colorCount = 0; // clamped up to one entry, then widened to reach index 200
    const pz4fmt::Frame f = decodeOne(pz4png::encodePng(saveInputOf(p)));
    EXPECT_EQ(f.colorCount, 201);
    EXPECT_EQ(f.pixels, p.pixels);
}

TEST(PngCorruption, TruncatedAndFlippedFilesNeverMisbehave) {
    shake(pz4png::decodePng, pngFile(eightBit()));
    shake(pz4png::decodePng, pz4png::encodePng(saveInputOf(samplePicture(9, 7, 16))), 1500);
    shake(pz4png::decodePng,
          pngFile({.width = 10, .depth = 1, .raw = {0, 0xAA, 0xC0}, .transparency = {0}}));
}
