// The palettising step on its own: where it stays exact, where it hands over to
// the quantiser, and what becomes of see-through pixels either way.

#include "common/Palettise.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

struct Rgba {
    uint8_t r, g, b, a;
};

// 32 x 24 pixels, top row first, from `colourAt(i)` of the pixel's place in scan order.
Bytes picture(const std::function<Rgba(int)>& colourAt) {
    Bytes rgba;
    for (int i = 0; i < 32 * 24; ++i) {
        const Rgba c = colourAt(i);
        rgba.insert(rgba.end(), {c.r, c.g, c.b, c.a});
    }
    return rgba;
}

Rgba distinct(int k) {
    return {static_cast<uint8_t>(k * 7), static_cast<uint8_t>(255 - k), static_cast<uint8_t>(k / 2),
            255};
}

} // namespace

TEST(Palettise, ExactUpTo256ColoursAndQuantisedBeyond) {
    const struct {
        const char* what;
        std::function<Rgba(int)> colourAt;
        bool exact;
        int colours;     // entries, when exact
        int transparent; // the see-through entry when exact, -2 when it must be the last
    } cases[] = {
        {"256 colours", [](int i) { return distinct(i % 256); }, true, 256, -1},
        {"255 colours and see-through",
         [](int i) {
             return i % 256 == 100 ? Rgba{1, 2, 3, 127} : distinct(i % 256);
         },
         true, 256, 100},
        {"opaque black beside see-through black",
         [](int i) {
             return i % 2 ? Rgba{0, 0, 0, 0} : Rgba{0, 0, 0, 128};
         },
         true, 2, 1},
        {"257 colours", [](int i) { return distinct(i % 257); }, false, 0, -1},
        {"256 colours and see-through",
         [](int i) {
             return i % 257 == 256 ? Rgba{9, 9, 9, 0} : distinct(i % 257);
         },
         false, 0, -2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes rgba = picture(c.colourAt);
        pz4fmt::Frame f, again;
        pz4fmt::Failure why;
        ASSERT_TRUE(pz4fmt::palettise(rgba.data(), 32, 24, pz4fmt::Rgb{5, 6, 7}, f, why))
            << why.reason();
        ASSERT_TRUE(pz4fmt::palettise(rgba.data(), 32, 24, pz4fmt::Rgb{5, 6, 7}, again, why));
        EXPECT_EQ(f.pixels, again.pixels) << "the same picture gives the same indices";
        EXPECT_TRUE(f.hasPalette);
        EXPECT_LE(f.colorCount, 256);
        if (c.exact) {
            EXPECT_EQ(f.colorCount, c.colours);
        }
        EXPECT_EQ(f.transparentIndex, c.transparent == -2 ? f.colorCount - 1 : c.transparent);
        int worst = 0;
        for (int i = 0; i < 32 * 24; ++i) {
            const uint8_t* want = rgba.data() + 4 * i;
            const int k = f.pixels[static_cast<size_t>(23 - i / 32) * 32 + i % 32];
            ASSERT_EQ(k == f.transparentIndex, want[3] < 128) << "pixel " << i;
            const uint8_t* shown = f.palette.data() + 3 * k;
            if (k == f.transparentIndex) {
                EXPECT_EQ(Bytes(shown, shown + 3), (Bytes{5, 6, 7}));
                continue;
            }
            for (int ch = 0; ch < 3; ++ch)
                worst = std::max(worst, std::abs(shown[ch] - want[ch]));
        }
        EXPECT_LE(worst, c.exact ? 0 : 8);
    }
}

// Entries follow the colours as they first appear from the top row down, so the
// bottom-up indices do not decide the order.
TEST(Palettise, EntriesInTheOrderColoursAppearFromTheTop) {
    const Bytes rgba = picture([](int i) {
        return i < 32 ? Rgba{200, 0, 0, 255} : Rgba{0, 0, 200, 255};
    });
    pz4fmt::Frame f;
    pz4fmt::Failure why;
    ASSERT_TRUE(pz4fmt::palettise(rgba.data(), 32, 24, pz4fmt::Rgb{}, f, why));
    EXPECT_EQ(Bytes(f.palette.begin(), f.palette.begin() + 6), (Bytes{200, 0, 0, 0, 0, 200}));
    EXPECT_EQ(f.pixels.back(), 0) << "the top row is the last one stored";
    EXPECT_EQ(f.pixels.front(), 1);
}
