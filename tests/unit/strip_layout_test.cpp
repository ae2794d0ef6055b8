#include "display/StripLayout.h"
#include "frames/FrameList.h"
#include "plugins/SaveNames.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <random>
#include <vector>

namespace {

// A chain of frames with these widths and heights (no pixels: only measured).
std::unique_ptr<cFrameList> chainOf(const std::vector<int32_t>& widths,
                                    const std::vector<int32_t>& heights = {}) {
    std::unique_ptr<cFrameList> first;
    cFrameList* previous = nullptr;
    for (size_t i = 0; i < widths.size(); ++i) {
        const int32_t h = i < heights.size() ? heights[i] : 1;
        auto* node = new cFrameList(previous, nullptr, static_cast<unsigned char*>(nullptr),
                                    widths[i], h, 0, int32_t(i), 0);
        if (!first)
            first.reset(node);
        previous = node;
    }
    return first;
}

// The walk the viewer did before it had prefix sums: the reference for the search.
StripLayout::Span linearWalk(const std::vector<int32_t>& widths, int64_t pos, int64_t w) {
    StripLayout::Span s;
    int64_t right = 0;
    size_t k = 0;
    for (; k < widths.size(); ++k) {
        right += std::max(0, widths[k]) + 5;
        if (right >= pos)
            break;
    }
    if (k == widths.size()) // no frame reached pos: the last one, right is the total
        k = widths.size() - 1;
    s.first = k;
    s.x = right - (std::max(0, widths[k]) + 5) - pos;
    int64_t drawn = 0;
    size_t j = k;
    do {
        drawn += std::max(0, widths[j]) + 5;
        ++j;
    } while (w > drawn && j < widths.size());
    s.end = j;
    return s;
}

// Zoomed frames take zoom x their width; the gaps stay 5 pixels.
TEST(StripLayout, MeasuresWidthsPlusGapsAndTheTallestFrame) {
    const auto chain = chainOf({100, 200, 50, -4}, {30, 80, 10, 7});
    const struct {
        int zoom;
        int64_t strip, left2;
    } cases[] = {{1, 370, 310}, {3, 300 + 5 + 600 + 5 + 150 + 5 + 0 + 5, 910}};
    for (const auto& c : cases) {
        const StripLayout layout(chain.get(), c.zoom);
        EXPECT_EQ(layout.count(), 4u);
        EXPECT_EQ(layout.stripWidth(), c.strip) << c.zoom;
        EXPECT_EQ(layout.left(2), c.left2) << c.zoom;
        EXPECT_EQ(layout.maxHeight(), 80);
    }
}

TEST(StripLayout, FirstFrameAndItsScreenPlace) {
    const auto chain = chainOf(std::vector<int32_t>(10, 100));
    const StripLayout layout(chain.get());
    struct {
        int64_t pos, windowWidth;
        size_t first, end;
        int64_t x;
    } const cases[] = {
        {0, 600, 0, 6, 0},      // 6 x 105 = 630 >= 600
        {150, 600, 1, 7, -45},  // right(0) = 105 < 150 <= 210 = right(1)
        {105, 600, 0, 6, -105}, // right(0) = 105 reaches 105: first frame wholly hidden
        {106, 600, 1, 7, -1},
        {450, 600, 4, 10, -30},    // runs out of frames before the window is full
        {5000, 600, 9, 10, -4055}, // past the end: the last frame
        {0, 0, 0, 1, 0},
    };
    for (const auto& c : cases) {
        const StripLayout::Span s = layout.visible(c.pos, c.windowWidth);
        EXPECT_EQ(s.first, c.first) << c.pos;
        EXPECT_EQ(s.end, c.end) << c.pos;
        EXPECT_EQ(s.x, c.x) << c.pos;
    }
}

TEST(StripLayout, SearchMatchesTheLinearWalk) {
    std::mt19937 random(4);
    for (int round = 0; round < 24; ++round) {
        const int zoom = round < 12 ? 1 : 2 + round % 7; // the search runs on the zoomed places
        std::vector<int32_t> widths(1 + random() % 40), zoomed;
        for (auto& w : widths) {
            w = int32_t(random() % 300) - 5; // a few negative and zero widths too
            zoomed.push_back(w * zoom);
        }
        const auto chain = chainOf(widths);
        const StripLayout layout(chain.get(), zoom);
        for (int64_t pos = -3; pos <= layout.stripWidth() + 10; pos += 1 + random() % 17)
            for (int64_t w : {1, 37, 600}) {
                const StripLayout::Span got = layout.visible(pos, w);
                const StripLayout::Span want = linearWalk(zoomed, pos, w);
                ASSERT_EQ(got.first, want.first) << zoom << " " << pos;
                ASSERT_EQ(got.end, want.end) << zoom << " " << pos;
                ASSERT_EQ(got.x, want.x) << zoom << " " << pos;
            }
    }
}

// 300,000 frames 16,384 wide: a strip of about 4.9e9 pixels.
TEST(StripLayout, StripsWiderThan32BitsStayExact) {
    const size_t n = 300'000;
    const auto chain = chainOf(std::vector<int32_t>(n, 16384));
    const StripLayout layout(chain.get());
    const int64_t each = 16384 + 5;
    EXPECT_EQ(layout.stripWidth(), each * int64_t(n));
    const int64_t pos = each * 250'000 + 7;
    const StripLayout::Span s = layout.visible(pos, 600);
    EXPECT_EQ(s.first, 250'000u);
    EXPECT_EQ(s.x, -7);
    EXPECT_EQ(s.end, 250'001u);

    const ScrollScale scale(layout.stripWidth(), 600);
    EXPECT_EQ(scale.excess, each * int64_t(n) - 600);
    EXPECT_GT(scale.unit, 1);
    EXPECT_LE(int64_t(scale.maximum) * scale.unit, scale.excess + scale.unit - 1);
    EXPECT_EQ(scale.position(scale.maximum), scale.excess);
    EXPECT_EQ(scale.position(1), scale.unit);
}

// The window-sized ranges are checked on the viewer itself; here the ends of the int range.
TEST(ScrollScale, RangeOfTheScrollBar) {
    struct {
        int64_t strip, window;
        int maximum;
    } const cases[] = {{1000, 1200, 0}, {int64_t(INT_MAX) + 600, 600, INT_MAX}};
    for (const auto& c : cases) {
        const ScrollScale s(c.strip, c.window);
        EXPECT_EQ(s.maximum, c.maximum) << c.strip << " in " << c.window;
        EXPECT_EQ(s.unit, 1) << c.strip;
        EXPECT_EQ(s.position(c.maximum), s.excess) << c.strip;
    }
}

TEST(FrameLabel, ThreeDigitsBelowAThousandAllDigitsFrom) {
    struct {
        int32_t index;
        const char* label;
    } const cases[] = {
        {0, "000"},     {5, "005"},     {42, "042"},      {999, "999"},
        {1000, "1000"}, {1234, "1234"}, {65535, "65535"}, {2147483647, "2147483647"}};
    for (const auto& c : cases)
        EXPECT_EQ(frameNumberText(c.index), c.label) << c.index;
}

} // namespace
