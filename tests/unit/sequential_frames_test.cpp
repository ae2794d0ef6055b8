// The format kit's on-demand shape, driven by a small codec whose every frame
// depends on all frames before it, so a wrong starting screen shows in the pixels.

#include "common/FrameSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <stdexcept>

namespace {

struct Counters {
    int steps = 0;
    int throwAt = -1; // the step that throws once, as an allocation failure would
};

// Frame k adds k + 1 to pixel k % 4 and shows the screen; its tag is k.
class RunningSums {
public:
    struct Screen {
        std::vector<uint8_t> pixels;
    };

    RunningSums(int frames, Counters* counters, size_t screenBytes = 4)
        : frames_(frames), counters_(counters), screenBytes_(screenBytes) {}

    int frameCount() const { return frames_; }
    size_t screenBytes() const { return screenBytes_; }
    size_t frameBytes(int) const { return 4; }
    Screen firstScreen() { return Screen{std::vector<uint8_t>(4, 0)}; }
    void step(Screen& screen, int index, pz4fmt::Frame* out) {
        if (counters_->throwAt == index) {
            counters_->throwAt = -1;
            screen.pixels[0] ^= 0x55; // half drawn
            throw std::runtime_error("step failed");
        }
        ++counters_->steps;
        screen.pixels[static_cast<size_t>(index % 4)] += static_cast<uint8_t>(index + 1);
        if (out != nullptr) {
            out->width = 4;
            out->height = 1;
            out->pixels = screen.pixels;
            out->tag = index;
        }
    }

private:
    int frames_;
    Counters* counters_;
    size_t screenBytes_;
};

using Source = pz4fmt::SequentialFrames<RunningSums>;

// Every frame as a decoder that draws them all in order would show it.
std::vector<std::vector<uint8_t>> straightDecode(int frames) {
    Counters c;
    RunningSums codec(frames, &c);
    auto screen = codec.firstScreen();
    std::vector<std::vector<uint8_t>> out;
    for (int k = 0; k < frames; ++k) {
        pz4fmt::Frame f;
        codec.step(screen, k, &f);
        out.push_back(f.pixels);
    }
    return out;
}

constexpr int kFrames = 200;
constexpr int kInterval = (kFrames + Source::kMaxCheckpoints - 1) / Source::kMaxCheckpoints;

std::vector<int> inOrder() {
    std::vector<int> v(kFrames);
    std::iota(v.begin(), v.end(), 0);
    return v;
}

struct OrderCase {
    const char* name;
    std::vector<int> order;
};

std::vector<OrderCase> orders() {
    std::vector<int> reverse = inOrder();
    std::reverse(reverse.begin(), reverse.end());
    std::vector<int> shuffled = inOrder();
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(13));
    std::vector<int> strided; // forward in steps of 7, seven times over
    for (int start = 0; start < 7; ++start)
        for (int k = start; k < kFrames; k += 7)
            strided.push_back(k);
    std::vector<int> backAndForth; // late, early, late, ...
    for (int k = 0; k < kFrames / 2; ++k) {
        backAndForth.push_back(kFrames - 1 - k);
        backAndForth.push_back(k);
    }
    return {{"in order", inOrder()},
            {"reverse", reverse},
            {"shuffled", shuffled},
            {"strided", strided},
            {"back and forth", backAndForth}};
}

TEST(SequentialFrames, AnyLockOrderHandsOutTheFramesOfAStraightDecode) {
    const auto expected = straightDecode(kFrames);
    for (const OrderCase& c : orders()) {
        SCOPED_TRACE(c.name);
        Counters counters;
        Source source(RunningSums(kFrames, &counters));
        std::vector<const pz4fmt::Frame*> handedOut(kFrames, nullptr);
        for (int k : c.order) {
            const pz4fmt::Frame* f = source.lock(k);
            ASSERT_NE(f, nullptr) << "frame " << k;
            EXPECT_EQ(f->pixels, expected[static_cast<size_t>(k)]) << "frame " << k;
            EXPECT_EQ(f->tag, k);
            handedOut[static_cast<size_t>(k)] = f;
        }
        // Later locks neither moved nor changed a frame handed out earlier.
        for (int k = 0; k < kFrames; ++k) {
            EXPECT_EQ(source.lock(k), handedOut[static_cast<size_t>(k)]) << "frame " << k;
            EXPECT_EQ(handedOut[static_cast<size_t>(k)]->pixels, expected[static_cast<size_t>(k)])
                << "frame " << k;
        }
        EXPECT_EQ(source.frameCount(), kFrames);
    }
}

TEST(SequentialFrames, LockingInOrderDrawsEachFrameOnce) {
    Counters counters;
    Source source(RunningSums(kFrames, &counters));
    for (int k = 0; k < kFrames; ++k)
        ASSERT_NE(source.lock(k), nullptr);
    EXPECT_EQ(counters.steps, kFrames);
    EXPECT_EQ(source.checkpointCount(), 0u);
}

TEST(SequentialFrames, LockingBackwardsStartsFromCheckpoints) {
    Counters counters;
    Source source(RunningSums(kFrames, &counters));
    for (int k = kFrames - 1; k >= 0; --k)
        ASSERT_NE(source.lock(k), nullptr);
    // From the start each time would be kFrames * (kFrames + 1) / 2 steps.
    EXPECT_LE(counters.steps, 2 * kFrames + kFrames * kInterval);
    EXPECT_GT(source.checkpointCount(), 0u);
    EXPECT_LE(source.checkpointCount(), static_cast<size_t>(Source::kMaxCheckpoints));
}

TEST(SequentialFrames, OneLateFrameHoldsOneScreenAndThatFrame) {
    Counters counters;
    Source source(RunningSums(kFrames, &counters, /*screenBytes*/ 1000));
    EXPECT_EQ(source.heldBytes(), 0u);
    ASSERT_NE(source.lock(kFrames - 1), nullptr);
    EXPECT_EQ(source.heldBytes(), 1000u + 4u);
    EXPECT_EQ(source.checkpointCount(), 0u);
}

TEST(SequentialFrames, CapRefusesLocksButKeepsTheCountAndEveryFrameHandedOut) {
    Counters counters;
    // One screen and three frames fit.
    Source source(RunningSums(kFrames, &counters, 100), 100 + 3 * 4);
    const pz4fmt::Frame* first = source.lock(0);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(source.lock(50), nullptr);
    ASSERT_NE(source.lock(20), nullptr);
    EXPECT_EQ(source.lock(10), nullptr);
    EXPECT_EQ(source.lock(199), nullptr);
    EXPECT_EQ(source.frameCount(), kFrames);
    EXPECT_EQ(source.lock(0), first);
    EXPECT_EQ(first->pixels, straightDecode(1)[0]);
    EXPECT_LE(source.heldBytes(), 100u + 3u * 4u);
}

TEST(SequentialFrames, CheckpointsGiveWayBeforeALockIsRefused) {
    Counters counters;
    // One screen, four frames and ten checkpoints fit.
    const size_t cap = 100 + 4 * 4 + 10 * 100;
    Source source(RunningSums(kFrames, &counters, 100), cap);
    ASSERT_NE(source.lock(199), nullptr);
    ASSERT_NE(source.lock(150), nullptr); // out of order: checkpoints on the way
    const size_t kept = source.checkpointCount();
    EXPECT_EQ(kept, 10u);
    ASSERT_NE(source.lock(10), nullptr);
    ASSERT_NE(source.lock(20), nullptr);
    EXPECT_LE(source.heldBytes(), cap);
    ASSERT_NE(source.lock(30), nullptr); // only with a checkpoint given up
    EXPECT_LT(source.checkpointCount(), kept);
    EXPECT_EQ(source.lock(30)->pixels, straightDecode(31)[30]);
    EXPECT_LE(source.heldBytes(), cap);
}

TEST(SequentialFrames, AStepThatThrowsLeavesTheSourceUsable) {
    const auto expected = straightDecode(kFrames);
    Counters counters;
    Source source(RunningSums(kFrames, &counters));
    ASSERT_NE(source.lock(10), nullptr);
    counters.throwAt = 50;
    EXPECT_THROW(source.lock(60), std::runtime_error);
    const pz4fmt::Frame* f = source.lock(60);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->pixels, expected[60]);
    ASSERT_NE(source.lock(55), nullptr);
    EXPECT_EQ(source.lock(55)->pixels, expected[55]);
}

TEST(SequentialFrames, IndicesOutsideTheFileAreRefused) {
    Counters counters;
    Source source(RunningSums(3, &counters));
    EXPECT_EQ(source.lock(-1), nullptr);
    EXPECT_EQ(source.lock(3), nullptr);
    EXPECT_EQ(counters.steps, 0);
    Source empty(RunningSums(0, &counters));
    EXPECT_EQ(empty.frameCount(), 0);
    EXPECT_EQ(empty.lock(0), nullptr);
}

TEST(DecodedFrames, HandsOutTheDecodedFramesInPlace) {
    pz4fmt::Image image;
    image.frames.resize(2);
    image.frames[0].pixels.assign(6, 1);
    image.frames[1].pixels.assign(10, 2);
    pz4fmt::DecodedFrames source(std::move(image));
    EXPECT_EQ(source.frameCount(), 2);
    EXPECT_EQ(source.heldBytes(), 16u);
    const pz4fmt::Frame* second = source.lock(1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->pixels.size(), 10u);
    EXPECT_EQ(source.lock(1), second);
    EXPECT_EQ(source.lock(2), nullptr);
    EXPECT_EQ(source.lock(-1), nullptr);
}

} // namespace
