// The format kit's on-demand shape, driven by a small codec whose every frame
// depends on all frames before it, so a wrong starting screen shows in the pixels.

#include "common/FrameSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
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

TEST(SequentialFrames, AnyLockOrderHandsOutTheFramesOfAStraightDecode) {
    std::vector<int> forward(kFrames);
    std::iota(forward.begin(), forward.end(), 0);
    std::vector<int> shuffled = forward, backAndForth; // late, early, late, ...
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(13));
    for (int k = 0; k < kFrames / 2; ++k)
        backAndForth.insert(backAndForth.end(), {kFrames - 1 - k, k});
    const struct {
        const char* name;
        std::vector<int> order;
        int maxSteps; // drawn from the start each time, reverse would take kFrames^2 / 2
        size_t maxCheckpoints;
    } cases[] = {
        {"in order", forward, kFrames, 0},
        {"reverse",
         {forward.rbegin(), forward.rend()},
         2 * kFrames + kFrames * kInterval,
         Source::kMaxCheckpoints},
        {"shuffled", shuffled, INT_MAX, Source::kMaxCheckpoints},
        {"back and forth", backAndForth, INT_MAX, Source::kMaxCheckpoints},
    };
    const auto expected = straightDecode(kFrames);
    for (const auto& c : cases) {
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
        EXPECT_LE(counters.steps, c.maxSteps);
        EXPECT_LE(source.checkpointCount(), c.maxCheckpoints);
        // Later locks neither moved nor changed a frame handed out earlier.
        for (int k = 0; k < kFrames; ++k) {
            EXPECT_EQ(source.lock(k), handedOut[static_cast<size_t>(k)]) << "frame " << k;
            EXPECT_EQ(handedOut[static_cast<size_t>(k)]->pixels, expected[static_cast<size_t>(k)])
                << "frame " << k;
        }
        EXPECT_EQ(source.frameCount(), kFrames);
    }
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

// Walking back from a late frame: the frames passed on the way are drawn once and kept
// ready, and under a tight cap they give way so that no lock is refused for them.
TEST(SequentialFrames, WalkingBackDrawsTheFramesPassedOnceWithinTheCap) {
    const auto expected = straightDecode(kFrames);
    const struct {
        const char* name;
        size_t cap;
        int locks;    // the last `locks` frames, last first
        int maxSteps; // one late lock, then at most every frame once more
    } cases[] = {
        {"no cap to speak of", pz4fmt::kMaxHeldBytes, kFrames, 2 * kFrames},
        {"room for one screen and 60 frames", 100 + 60 * 4, 60, INT_MAX},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Counters counters;
        Source source(RunningSums(kFrames, &counters, 100), c.cap);
        std::vector<const pz4fmt::Frame*> handedOut;
        for (int k = kFrames - 1; k >= kFrames - c.locks; --k) {
            handedOut.push_back(source.lock(k));
            ASSERT_NE(handedOut.back(), nullptr) << "frame " << k;
            EXPECT_LE(source.heldBytes(), c.cap);
        }
        EXPECT_LE(counters.steps, c.maxSteps);
        if (c.locks == kFrames) {
            EXPECT_EQ(source.readyCount(), 0u);
        }
        for (size_t i = 0; i < handedOut.size(); ++i)
            EXPECT_EQ(handedOut[i]->pixels, expected[static_cast<size_t>(kFrames - 1) - i])
                << "frame " << kFrames - 1 - static_cast<int>(i);
    }
}
