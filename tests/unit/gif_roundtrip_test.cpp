// Writing GIF files and reading them back; the written structure checked with giflib.

#include "GifCodec.h"
#include "GifTestColours.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <TempWorkDir.h>

#include <algorithm>
#include <memory>

using namespace giftest;

namespace {

// A frame to save: its pixels (bottom-up) and palette owned here.
struct Source {
    int width, height, colorCount, tag;
    std::vector<uint8_t> pixels;
    pz4fmt::Palette palette{};

    pz4fmt::SaveInput input(const char* file = "out.gif") const {
        return {file, pixels.data(), palette.data(), width, height, colorCount, tag};
    }
};

Source pattern(int width, int height, int colours, int seed, int tag = 0) {
    Source s{width, height, colours, tag, {}, {}};
    for (int i = 0; i < width * height; ++i)
        s.pixels.push_back(static_cast<uint8_t>((i * 7 + seed) % colours));
    for (int i = 0; i < 768; ++i)
        s.palette[static_cast<size_t>(i)] = static_cast<uint8_t>(i * 31 + seed * 5);
    return s;
}

pz4fmt::Image decode(const std::vector<uint8_t>& bytes) {
    pz4fmt::Image image;
    EXPECT_TRUE(pz4gif::decodeGif(bytes.data(), bytes.size(), image));
    return image;
}

void expectSameColours(const pz4fmt::Frame& got, const Source& want) {
    ASSERT_EQ(got.width, want.width);
    ASSERT_EQ(got.height, want.height);
    ASSERT_TRUE(got.hasPalette);
    for (size_t i = 0; i < want.pixels.size(); ++i) {
        const size_t a = size_t{got.pixels[i]} * 3, b = size_t{want.pixels[i]} * 3;
        ASSERT_TRUE(std::equal(got.palette.begin() + static_cast<long>(a),
                               got.palette.begin() + static_cast<long>(a + 3),
                               want.palette.begin() + static_cast<long>(b)))
            << "pixel " << i;
    }
}

// The file as giflib's own reader sees it.
struct Slurped {
    struct Close {
        void operator()(GifFileType* g) const {
            int e = 0;
            DGifCloseFile(g, &e);
        }
    };
    std::unique_ptr<GifFileType, Close> gif;
    const std::vector<uint8_t>* bytes;
    size_t pos = 0;

    explicit Slurped(const std::vector<uint8_t>& b) : bytes(&b) {
        int error = 0;
        gif.reset(DGifOpen(this, read, &error));
        if (!gif || DGifSlurp(gif.get()) == GIF_ERROR)
            ADD_FAILURE() << "giflib cannot read the file";
    }
    static int read(GifFileType* g, GifByteType* out, int n) {
        auto* self = static_cast<Slurped*>(g->UserData);
        const size_t k = std::min(static_cast<size_t>(n), self->bytes->size() - self->pos);
        std::copy_n(self->bytes->data() + self->pos, k, out);
        self->pos += k;
        return static_cast<int>(k);
    }
    GraphicsControlBlock control(int image) const {
        GraphicsControlBlock gcb{};
        DGifSavedExtensionToGCB(gif.get(), image, &gcb);
        return gcb;
    }
};

TEST(GifRoundTrip, SingleImageKeepsIndicesPaletteAndTag) {
    const Source s = pattern(5, 3, 16, 1, /*tag*/ 7);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(pz4gif::encodeGifImage(s.input(), bytes));
    const pz4fmt::Image image = decode(bytes);
    ASSERT_EQ(image.frames.size(), 1u);
    const pz4fmt::Frame& f = image.frames[0];
    EXPECT_EQ(f.pixels, s.pixels);
    EXPECT_EQ(f.colorCount, 16);
    EXPECT_TRUE(std::equal(s.palette.begin(), s.palette.begin() + 48, f.palette.begin()));
    EXPECT_EQ(f.tag, 7);
}

TEST(GifRoundTrip, ColourTableIsAsSmallAsColorCountAndPixelsAllow) {
    struct Case {
        int colorCount, highestPixel, tableSize;
    };
    const Case cases[] = {
        {1, 0, 2},
        {2, 1, 2},
        {5, 4, 8},
        {16, 3, 16},
        {256, 0, 256},
        {0, 9, 16},
        {4, 9, 16}, // a colorCount that undercounts the pixels does not
                    // lose them
        {999, 3, 256},
    };
    for (const Case& c : cases) {
        Source s = pattern(4, 2, 1, 0);
        s.colorCount = c.colorCount;
        s.pixels[3] = static_cast<uint8_t>(c.highestPixel);
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(pz4gif::encodeGifImage(s.input(), bytes));
        Slurped gif(bytes);
        ASSERT_NE(gif.gif->SColorMap, nullptr);
        EXPECT_EQ(gif.gif->SColorMap->ColorCount, c.tableSize) << "colorCount " << c.colorCount;
        EXPECT_EQ(decode(bytes).frames[0].pixels, s.pixels);
    }
}

TEST(GifRoundTrip, AnimationLoopsWithDelaysAndLocalTablesOnlyWhereNeeded) {
    // Frames 0 and 2 share a palette; frame 1 brings its own.
    const std::vector<Source> frames = {pattern(6, 4, 8, 0, 5), pattern(6, 4, 8, 3, 0),
                                        pattern(6, 4, 8, 0, -3)};
    std::vector<pz4fmt::SaveInput> inputs;
    for (const Source& s : frames)
        inputs.push_back(s.input());
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(pz4gif::encodeGifAnimation(inputs, bytes));

    Slurped gif(bytes);
    ASSERT_EQ(gif.gif->ImageCount, 3);
    EXPECT_EQ(gif.gif->SColorMap->ColorCount, 8);
    EXPECT_EQ(gif.gif->SavedImages[0].ImageDesc.ColorMap, nullptr);
    ASSERT_NE(gif.gif->SavedImages[1].ImageDesc.ColorMap, nullptr);
    EXPECT_EQ(gif.gif->SavedImages[1].ImageDesc.ColorMap->ColorCount, 8);
    EXPECT_EQ(gif.gif->SavedImages[2].ImageDesc.ColorMap, nullptr);
    EXPECT_EQ(gif.control(0).DelayTime, 5);
    EXPECT_EQ(gif.control(1).DelayTime, 10);
    EXPECT_EQ(gif.control(2).DelayTime, 10);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find(std::string("NETSCAPE2.0\x03\x01\x00\x00", 16)), std::string::npos)
        << "no loop-forever extension";

    const pz4fmt::Image image = decode(bytes);
    ASSERT_EQ(image.frames.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(image.frames[i].pixels, frames[i].pixels);
        expectSameColours(image.frames[i], frames[i]);
    }
    EXPECT_EQ(image.frames[0].tag, 5);
    EXPECT_EQ(image.frames[1].tag, 10);
}

TEST(GifRoundTrip, AnimationOfMixedSizesShowsEachFrameAlone) {
    // A big frame, then a smaller one: the smaller shows at the top left over the
    // background, with nothing of the big one around it.
    const Source big = pattern(6, 5, 4, 1), small = pattern(3, 2, 4, 2);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(pz4gif::encodeGifAnimation({big.input(), small.input()}, bytes));
    const pz4fmt::Image image = decode(bytes);
    ASSERT_EQ(image.frames.size(), 2u);
    const pz4fmt::Frame& f = image.frames[1];
    ASSERT_EQ(f.width, 6);
    ASSERT_EQ(f.height, 5);
    const Rgb background{big.palette[0], big.palette[1], big.palette[2]};
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool inside = x < 3 && y < 2;
            const size_t k =
                inside ? size_t{small.pixels[static_cast<size_t>((1 - y) * 3 + x)]} * 3 : 0;
            const pz4fmt::Palette& p = inside ? small.palette : big.palette;
            const Rgb want = inside ? Rgb{p[k], p[k + 1], p[k + 2]} : background;
            EXPECT_EQ(colourAt(f, x, y), want) << x << "," << y;
        }
}

TEST(GifRoundTrip, SavingWritesTheNamedFileOrNothing) {
    pz4test::TempWorkDir dir;
    const Source s = pattern(3, 3, 4, 0);
    ASSERT_TRUE(pz4gif::saveGifImage(s.input("still.gif")));
    EXPECT_EQ(decode(pz4test::readFileBytes(dir.path() / "still.gif")).frames[0].pixels, s.pixels);
    EXPECT_FALSE(pz4gif::saveGifImage(s.input("no-such-folder/x.gif")));
    Source empty = s;
    empty.width = 0;
    std::vector<uint8_t> bytes;
    EXPECT_FALSE(pz4gif::encodeGifImage(empty.input(), bytes));
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(pz4gif::encodeGifAnimation({}, bytes));
    EXPECT_FALSE(pz4gif::encodeGifAnimation({s.input(), empty.input()}, bytes));
    EXPECT_TRUE(bytes.empty());
}

} // namespace
