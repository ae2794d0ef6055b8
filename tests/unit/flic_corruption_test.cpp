// Damaged FLI and FLC files: every truncation and a fixed set of byte changes must
// decode without fault (the suite runs under ASan/UBSan) into sound frames, and a
// cut keeps every frame that lies wholly before it.

#include "FlicTestFile.h"

#include <gtest/gtest.h>

#include <random>

using namespace flictest;
using namespace rastertest;

namespace {

// A written animation: palette changes, deltas of both kinds, a repeated frame.
Bytes writtenSample() {
    std::vector<Bytes> pixels(5, Bytes(7 * 5));
    std::vector<pz4fmt::Palette> palettes(5);
    std::vector<pz4fmt::SaveInput> in;
    for (size_t k = 0; k < 5; ++k) {
        for (size_t i = 0; i < pixels[k].size(); ++i)
            pixels[k][i] = uint8_t(k == 3 ? (i * 37 + 11) % 256 : i / 4 + (k == 1 ? i % 2 : 0));
        if (k == 2)
            pixels[2] = pixels[1];
        for (size_t i = 0; i < 768; ++i)
            palettes[k][i] = uint8_t(k >= 3 && i < 30 ? 255 - i : i);
        in.push_back({"x", pixels[k].data(), palettes[k].data(), 7, 5, 256, int(k) + 3});
    }
    Bytes out;
    EXPECT_TRUE(pz4flic::encodeFlc(in, out));
    return out;
}

// Every chunk kind the reader takes, in a small FLI.
Bytes handBuiltSample() {
    return file(
        fliHeader(4, 3, 6, 4),
        {chunk(0xF100, ByteWriter().u8({1, 2})),                               // prefix
         frame({chunk(18, ByteWriter().u8({0, 1, 2, 3})),                      // stamp
                chunk(11, ByteWriter().le16(1).u8({2, 2, 63, 0, 9, 1, 2, 3})), // 6-bit colours
                chunk(15, ByteWriter()
                              .u8({1, 6, 1})                // row 0: 6 x 1
                              .u8({2, 0xFD, 1, 2, 3, 3, 4}) // row 1: 3 literals, 3 x 4
                              .u8({1, 0xFA, 9, 8, 7, 6, 5, 4})
                              .u8({1, 6, 2}))}),
         frame({chunk(12, ByteWriter().le16(1).le16(2).u8({1, 2, 2, 7, 7}).u8({1, 0, 0xFD, 5}))}),
         frame({chunk(4, ByteWriter().le16(1).u8({0, 1, 200, 100, 50})),
                chunk(7, ByteWriter()
                             .le16(2)
                             .le16(1)
                             .u8({0, 1, 3, 3})
                             .le16(0xFFFF)
                             .le16(1)
                             .u8({2, 0xFE, 4, 5}))}),
         frame({chunk(13, ByteWriter())}),
         frame({chunk(16, ByteWriter().fill(24, 3))})}); // ring frame
}

// Beyond what any animation must be: every FLIC frame has the full palette and a delay.
void expectSound(const pz4fmt::Image& image, bool ok) {
    expectSoundAnimation(image, ok);
    for (const pz4fmt::Frame& f : image.frames) {
        ASSERT_TRUE(f.hasPalette);
        ASSERT_EQ(f.colorCount, 256);
        ASSERT_GE(f.tag, 1);
    }
}

class FlicCorruption : public ::testing::TestWithParam<Bytes (*)()> {};

TEST_P(FlicCorruption, EveryTruncationKeepsTheWholeFramesBeforeTheCut) {
    const Bytes whole = GetParam()();
    pz4flic::FlicInfo info;
    ASSERT_TRUE(pz4flic::scanFlic(whole.data(), whole.size(), info));
    const pz4fmt::Image full = decode(whole);
    ASSERT_GE(full.frames.size(), 4u);
    forEachTruncation(whole, [&](const Bytes& cut) {
        pz4fmt::Image image;
        const bool ok = pz4flic::decodeFlic(cut.data(), cut.size(), image);
        expectSound(image, ok);
        size_t wholeFrames = 0;
        for (const pz4flic::FrameEntry& e : info.frames)
            wholeFrames += e.offset + e.size <= cut.size();
        ASSERT_EQ(image.frames.size(), wholeFrames);
        expectSameFrames(image, full, wholeFrames);
    });
}

TEST_P(FlicCorruption, ChangedBytesNeverFault) {
    const Bytes whole = GetParam()();
    forEachChangedCopy(whole, 4000, [](const Bytes& bytes) {
        pz4fmt::Image image;
        // A small budget: a changed size field may claim a screen of 16384 x 16384.
        const bool ok = pz4flic::decodeFlic(bytes.data(), bytes.size(), image, size_t{64} << 20);
        expectSound(image, ok);
        ASSERT_LE(image.frames.size(), 65535u);
    });
}

TEST_P(FlicCorruption, ChangedPixelDataKeepsEveryFrame) {
    // Inside the data of a frame of one sub-chunk: whatever it says, the frames stay.
    const Bytes whole = GetParam()();
    pz4flic::FlicInfo info;
    ASSERT_TRUE(pz4flic::scanFlic(whole.data(), whole.size(), info));
    pz4flic::FrameEntry last;
    for (const pz4flic::FrameEntry& e : info.frames)
        if (pz4fmt::le16(&whole[e.offset + 6]) == 1 && e.size > last.size)
            last = e;
    ASSERT_GT(last.size, 22u);
    std::mt19937 random(5);
    for (int round = 0; round < 500; ++round) {
        Bytes bytes = whole;
        const size_t at = last.offset + 16 + 6 + random() % (last.size - 22);
        bytes[at] ^= static_cast<uint8_t>(1 + random() % 255);
        pz4fmt::Image image;
        ASSERT_TRUE(pz4flic::decodeFlic(bytes.data(), bytes.size(), image)) << round;
        EXPECT_EQ(image.frames.size(), info.frames.size()) << round;
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, FlicCorruption,
                         ::testing::Values(&writtenSample, &handBuiltSample));

} // namespace
