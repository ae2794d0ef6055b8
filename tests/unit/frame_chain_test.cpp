#include "frames/FrameList.h"
#include "frames/IntList.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

std::unique_ptr<cIntList> listOf(const std::vector<int32_t>& values) {
    auto first = std::make_unique<cIntList>(values.front());
    for (size_t i = 1; i < values.size(); ++i)
        first->Append(values[i]);
    return first;
}

TEST(IntList, GetFallsBackToTheLastValue) {
    struct {
        std::vector<int32_t> values;
        int32_t lastIndex;
        std::vector<std::pair<int32_t, int32_t>> gets; // index, value
    } const cases[] = {
        {{7}, 0, {{0, 7}, {5, 7}}},
        {{3, 5, 9}, 2, {{0, 3}, {1, 5}, {2, 9}, {3, 9}, {10, 9}}},
    };
    for (const auto& c : cases) {
        const auto list = listOf(c.values);
        EXPECT_EQ(list->LastIndex(), c.lastIndex);
        for (const auto& [i, v] : c.gets)
            EXPECT_EQ(list->Get(i), v) << i;
    }
}

// Builds a chain the way the displays do: each node made with the previous one.
cFrameList* chain(unsigned char* pixels, unsigned char* palette, int n) {
    cFrameList* first = nullptr;
    cFrameList* previous = nullptr;
    for (int i = 0; i < n; ++i) {
        previous = new cFrameList(previous, pixels, palette, 2, 1, 100 + i, i, i % 4);
        if (first == nullptr)
            first = previous;
    }
    return first;
}

TEST(FrameList, GetAnswersNullPastTheEnd) {
    unsigned char pixels[2] = {1, 2};
    unsigned char palette[768] = {};
    const std::unique_ptr<cFrameList> first(chain(pixels, palette, 3));
    EXPECT_EQ(first->LastIndex(), 2);
    EXPECT_EQ(first->Get(0), first.get());
    ASSERT_NE(first->Get(2), nullptr);
    EXPECT_EQ(first->Get(2)->tag, 102);
    EXPECT_EQ(first->Get(2)->mirror, 2);
    EXPECT_EQ(first->Get(1)->index, 1);
    EXPECT_EQ(first->Get(3), nullptr);
    EXPECT_EQ(first->Get(-1), nullptr);
    EXPECT_EQ(first->Get(2)->LastIndex(), 0);
}

TEST(FrameList, ReleaseLeavesTheBuffersToTheirOwners) {
    // Heap buffers, so the sanitizer would report a free through the chain.
    auto pixels = std::make_unique<unsigned char[]>(2);
    auto palette = std::make_unique<unsigned char[]>(768);
    palette[767] = 42;
    delete chain(pixels.get(), palette.get(), 3);
    EXPECT_EQ(palette[767], 42);
}

// Long chains are released one node at a time; a recursive release of this many
// nodes would overflow the sanitizer build's stack.
TEST(FrameList, HundredThousandNodesReleaseWithoutRecursion) {
    unsigned char pixels[2] = {};
    unsigned char palette[768] = {};
    std::unique_ptr<cFrameList> first(chain(pixels, palette, 100000));
    EXPECT_EQ(first->LastIndex(), 99999);
    first.reset();

    auto list = std::make_unique<cIntList>(0);
    cIntList* last = list.get();
    for (int i = 1; i < 100000; ++i) {
        last->next = std::make_unique<cIntList>(i);
        last = last->next.get();
    }
    EXPECT_EQ(list->Get(200000), 99999);
    list.reset();
}

} // namespace
