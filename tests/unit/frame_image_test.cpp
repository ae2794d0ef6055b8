#include "display/FrameImage.h"
#include "frames/FrameList.h"
#include "palette/TRNManager.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using Rows = std::vector<std::vector<int>>;

constexpr FrameImageKernel kKernels[] = {FrameImageKernel::Best, FrameImageKernel::Avx2,
                                         FrameImageKernel::Portable};

// p -> p + 10, wrapping: shows that every stored byte went through the table.
std::array<unsigned char, 256> plusTen() {
    std::array<unsigned char, 256> t{};
    for (int p = 0; p < 256; ++p)
        t[size_t(p)] = static_cast<unsigned char>((p + 10) & 0xFF);
    return t;
}

Rows storedRows(const FrameImage& image) {
    Rows rows;
    for (int32_t r = 0; r < image.height; ++r) {
        const unsigned char* row = image.storedRow(r);
        rows.emplace_back(row, row + image.stride);
    }
    return rows;
}

struct PlacementCase {
    const char* label;
    int32_t width, height;
    std::vector<unsigned char> pixels; // buffer row 0 first
    int32_t mirror;
    Rows stored; // stored row 0 (the bottom of the picture) first, padding included
};

TEST(FrameImage, PlacementPaddingAndTranslation) {
    const std::vector<unsigned char> px3x2 = {1, 2, 3, 4, 5, 6};
    std::vector<unsigned char> px5x5;
    for (unsigned char v = 1; v <= 25; ++v)
        px5x5.push_back(v);
    const Rows five = {{11, 12, 13, 14, 15, 0, 0, 0},
                       {16, 17, 18, 19, 20, 0, 0, 0},
                       {21, 22, 23, 24, 25, 0, 0, 0},
                       {26, 27, 28, 29, 30, 0, 0, 0},
                       {31, 32, 33, 34, 35, 0, 0, 0}};
    const Rows fiveBoth = {{35, 34, 33, 32, 31, 0, 0, 0},
                           {30, 29, 28, 27, 26, 0, 0, 0},
                           {25, 24, 23, 22, 21, 0, 0, 0},
                           {20, 19, 18, 17, 16, 0, 0, 0},
                           {15, 14, 13, 12, 11, 0, 0, 0}};
    const PlacementCase cases[] = {
        {"1x1", 1, 1, {250}, 0, {{4, 0, 0, 0}}},
        {"1x1 mirrored", 1, 1, {250}, 3, {{4, 0, 0, 0}}},
        {"3x2", 3, 2, px3x2, 0, {{11, 12, 13, 0}, {14, 15, 16, 0}}},
        {"3x2 rows reversed", 3, 2, px3x2, 1, {{13, 12, 11, 0}, {16, 15, 14, 0}}},
        {"3x2 row order reversed", 3, 2, px3x2, 2, {{14, 15, 16, 0}, {11, 12, 13, 0}}},
        {"3x2 both", 3, 2, px3x2, 3, {{16, 15, 14, 0}, {13, 12, 11, 0}}},
        {"3x2 unknown mode 4", 3, 2, px3x2, 4, {{11, 12, 13, 0}, {14, 15, 16, 0}}},
        {"3x2 unknown mode -1", 3, 2, px3x2, -1, {{11, 12, 13, 0}, {14, 15, 16, 0}}},
        {"5x5", 5, 5, px5x5, 0, five},
        {"5x5 both", 5, 5, px5x5, 3, fiveBoth},
    };
    for (FrameImageKernel kernel : kKernels) {
        FrameImageBuilder builder(plusTen(), kernel);
        for (const auto& c : cases) {
            const FrameImage image =
                builder.build(c.pixels.data(), c.width, c.height, nullptr, c.mirror);
            SCOPED_TRACE(std::string(c.label) + " kernel " + std::to_string(int(kernel)));
            ASSERT_FALSE(image.empty());
            EXPECT_EQ(image.width, c.width);
            EXPECT_EQ(image.height, c.height);
            EXPECT_EQ(image.stride, c.stored.front().size());
            EXPECT_EQ(storedRows(image), c.stored);
        }
    }
}

TEST(FrameImage, NothingToShowGivesAnEmptyImage) {
    const unsigned char px[4] = {1, 2, 3, 4};
    struct {
        const char* label;
        const unsigned char* pixels;
        int32_t width, height;
    } const cases[] = {
        {"no pixels", nullptr, 2, 2},  {"zero width", px, 0, 2},       {"zero height", px, 2, 0},
        {"negative width", px, -2, 2}, {"negative height", px, 2, -1},
    };
    FrameImageBuilder builder(plusTen());
    for (const auto& c : cases) {
        const FrameImage image = builder.build(c.pixels, c.width, c.height, nullptr, 0);
        EXPECT_TRUE(image.empty()) << c.label;
        EXPECT_EQ(image.byteSize(), 0u) << c.label;
    }
}

// The palette unscaled; no palette: opaque black.
TEST(FrameImage, ColourTableIsThePaletteUnscaled) {
    std::array<unsigned char, 768> palette{};
    for (size_t i = 0; i < palette.size(); ++i)
        palette[i] = static_cast<unsigned char>(i * 7);
    const unsigned char px = 0;
    FrameImageBuilder builder(plusTen());
    const FrameImage image = builder.build(&px, 1, 1, palette.data(), 0);
    const FrameImage none = builder.build(&px, 1, 1, nullptr, 0);
    ASSERT_TRUE(image.colors);
    ASSERT_TRUE(none.colors);
    struct {
        size_t entry;
        uint32_t argb;
    } const cases[] = {{0, 0xFF00070Eu}, {1, 0xFF151C23u}, {255, 0xFFEBF2F9u}};
    for (const auto& c : cases) {
        EXPECT_EQ((*image.colors)[c.entry], c.argb) << c.entry;
        EXPECT_EQ((*none.colors)[c.entry], 0xFF000000u) << c.entry;
    }
}

// Frames of one build that bring the same palette bytes share a colour table; a
// different palette after them gets its own, and the earlier table is unchanged.
TEST(FrameImage, EqualPalettesShareOneColourTable) {
    std::array<unsigned char, 768> a{}, sameAsA{}, b{};
    a[0] = sameAsA[0] = 200;
    b[0] = 100;
    const unsigned char px = 0;
    FrameImageBuilder builder(plusTen());
    const FrameImage first = builder.build(&px, 1, 1, a.data(), 0);
    const FrameImage second = builder.build(&px, 1, 1, sameAsA.data(), 0);
    const FrameImage third = builder.build(&px, 1, 1, b.data(), 0);
    EXPECT_EQ(first.colors, second.colors);
    EXPECT_NE(first.colors, third.colors);
    EXPECT_EQ((*first.colors)[0], 0xFFC80000u);
    EXPECT_EQ((*third.colors)[0], 0xFF640000u);
}

// The vector kernels against a plain loop, over widths around their 64- and
// 32-byte blocks and the portable kernel's steps of 4, both directions.
TEST(FrameImage, KernelsAgreeWithAPlainLoop) {
    std::mt19937 random(9);
    std::array<unsigned char, 256> table{};
    for (auto& t : table)
        t = static_cast<unsigned char>(random());
    for (size_t n : {1, 3, 4, 5, 31, 32, 33, 63, 64, 65, 127, 128, 129, 200, 1030}) {
        std::vector<unsigned char> src(n);
        for (auto& s : src)
            s = static_cast<unsigned char>(random());
        for (bool reversed : {false, true}) {
            std::vector<unsigned char> expected(n);
            for (size_t i = 0; i < n; ++i)
                expected[i] = table[src[reversed ? n - 1 - i : i]];
            for (FrameImageKernel kernel : kKernels) {
                // One guard byte after the row: a kernel must not write past n.
                std::vector<unsigned char> dst(n + 1, 0xA5);
                TranslateRow(src.data(), dst.data(), n, table.data(), reversed, kernel);
                EXPECT_EQ(dst[n], 0xA5) << n;
                dst.pop_back();
                EXPECT_EQ(dst, expected)
                    << "n " << n << " reversed " << reversed << " kernel " << int(kernel);
            }
        }
    }
}

TEST(FrameImage, FrameRecordThroughTheTranslationManager) {
    unsigned char px[4] = {1, 2, 3, 4}; // 2 x 2
    std::array<unsigned char, 768> palette{};
    palette[3 * 9] = 90;
    cTRNManager trn;
    trn.SetTranslation(4, 9);
    cFrameList frame(nullptr, px, palette.data(), 2, 2, 0, 0, 0);
    struct {
        int32_t mirror;
        unsigned char topLeft, bottomRight;
    } const cases[] = {{0, 3, 2}, {1, 9, 1}, {2, 1, 9}, {3, 2, 3}};
    for (const auto& c : cases) {
        const FrameImage image = BuildFrameImage(frame, trn, c.mirror);
        EXPECT_EQ(image.shownAt(0, 0), c.topLeft) << c.mirror;
        EXPECT_EQ(image.shownAt(1, 1), c.bottomRight) << c.mirror;
        EXPECT_EQ((*image.colors)[9], 0xFF5A0000u) << c.mirror;
    }
}

// A transparent pixel shows the colour it is told to show, and only transparent
// pixels do: where the table gives another value the transparent one's colour,
// the transparent pixels get a stored value of their own.
TEST(FrameImage, TransparentPixelsAloneShowTheirColour) {
    std::array<unsigned char, 256> identity{}, merging{};
    for (int p = 0; p < 256; ++p)
        identity[size_t(p)] = merging[size_t(p)] = static_cast<unsigned char>(p);
    merging[7] = 3; // 7 shown as 3, as the transparent 3 is
    std::array<unsigned char, 768> palette{};
    for (int k = 0; k < 256; ++k)
        palette[size_t(3 * k)] = static_cast<unsigned char>(k);
    const std::vector<unsigned char> pixels = {3, 7, 5, 3};
    const struct {
        const std::array<unsigned char, 256>* table;
        int transparent;
        bool told;
        std::vector<uint32_t> shown;
    } cases[] = {
        {&identity, 3, false, {0xFF030000, 0xFF070000, 0xFF050000, 0xFF030000}},
        {&identity, 3, true, {0, 0xFF070000, 0xFF050000, 0}},
        {&merging, 3, true, {0, 0xFF030000, 0xFF050000, 0}},
        {&merging, -1, true, {0xFF030000, 0xFF030000, 0xFF050000, 0xFF030000}},
    };
    for (const auto& c : cases) {
        FrameImageBuilder builder(*c.table);
        if (c.told)
            builder.showTransparentAs(0);
        const FrameImage image =
            builder.build(pixels.data(), 4, 1, palette.data(), 0, c.transparent);
        std::vector<uint32_t> shown;
        for (int x = 0; x < 4; ++x)
            shown.push_back((*image.colors)[image.shownAt(x, 0)]);
        EXPECT_EQ(shown, c.shown) << c.transparent << (c.told ? " told" : "");
        EXPECT_EQ(image.seeThrough, c.told && c.transparent >= 0);
    }
}

} // namespace
