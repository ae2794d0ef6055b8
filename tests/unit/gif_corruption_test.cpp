// Damaged GIF files: every truncation and a fixed set of byte flips of small samples
// must decode without fault (the suite runs under ASan/UBSan) into sound frames.

#include "GifCodec.h"
#include "GifTestColours.h"
#include "GifTestFile.h"

#include <gtest/gtest.h>

#include <random>

using namespace giftest;

namespace {

// Every read path at once: global and local tables, interlace, transparency, all
// disposal methods, a comment and a frame reaching past the screen.
std::vector<uint8_t> richSample() {
    GifFile f;
    f.screen(5, 4, {kBlack, kRed, kGreen, kBlue}, 1)
        .extension(0xFE, "sample")
        .control(1, 4)
        .image(0, 0, 5, 4, std::vector<uint8_t>(20, 2))
        .control(3, 6, 0)
        .image(1, 1, 3, 3, {0, 1, 0, 1, 3, 1, 0, 1, 0}, {kWhite, kYellow, kRed, kBlue}, true)
        .control(2, 8)
        .image(3, 2, 4, 4, std::vector<uint8_t>(16, 3))
        .image(0, 0, 2, 1, {1, 0}, {}, false, 3);
    return f.trailer().bytes();
}

std::vector<uint8_t> encodedSample() {
    std::vector<uint8_t> a(24), b(24);
    for (size_t i = 0; i < 24; ++i) {
        a[i] = static_cast<uint8_t>(i % 16);
        b[i] = static_cast<uint8_t>((i * 5) % 16);
    }
    pz4fmt::Palette p1{}, p2{};
    for (size_t i = 0; i < 768; ++i) {
        p1[i] = static_cast<uint8_t>(i * 3);
        p2[i] = static_cast<uint8_t>(255 - i);
    }
    std::vector<uint8_t> out;
    EXPECT_TRUE(pz4gif::encodeGifAnimation(
        {{"x", a.data(), p1.data(), 6, 4, 16, 3}, {"x", b.data(), p2.data(), 6, 4, 16, 0}}, out));
    return out;
}

void expectSound(const pz4fmt::Image& image, bool ok) {
    EXPECT_EQ(ok, !image.frames.empty());
    for (const pz4fmt::Frame& f : image.frames) {
        ASSERT_GT(f.width, 0);
        ASSERT_GT(f.height, 0);
        ASSERT_LE(f.width, pz4fmt::kMaxSide);
        ASSERT_LE(f.height, pz4fmt::kMaxSide);
        ASSERT_EQ(f.pixels.size(), static_cast<size_t>(f.width) * static_cast<size_t>(f.height));
        ASSERT_GE(f.colorCount, 0);
        ASSERT_LE(f.colorCount, 256);
        ASSERT_EQ(f.width, image.frames[0].width);
        ASSERT_EQ(f.height, image.frames[0].height);
    }
}

class GifCorruption : public ::testing::TestWithParam<std::vector<uint8_t> (*)()> {};

TEST_P(GifCorruption, EveryTruncationKeepsTheFramesBeforeTheCut) {
    const std::vector<uint8_t> whole = GetParam()();
    pz4fmt::Image full;
    ASSERT_TRUE(pz4gif::decodeGif(whole.data(), whole.size(), full));
    ASSERT_GE(full.frames.size(), 2u);
    for (size_t n = 0; n < whole.size(); ++n) {
        SCOPED_TRACE(n);
        // A copy of exactly n bytes, so reading past it is caught.
        const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(n));
        pz4fmt::Image image;
        const bool ok = pz4gif::decodeGif(cut.data(), cut.size(), image);
        expectSound(image, ok);
        ASSERT_LE(image.frames.size(), full.frames.size());
        // All but the last frame came through whole; the last may be cut short.
        for (size_t i = 0; i + 1 < image.frames.size(); ++i) {
            EXPECT_EQ(image.frames[i].pixels, full.frames[i].pixels) << "frame " << i;
            EXPECT_EQ(image.frames[i].palette, full.frames[i].palette) << "frame " << i;
            EXPECT_EQ(image.frames[i].tag, full.frames[i].tag) << "frame " << i;
        }
    }
}

TEST_P(GifCorruption, FlippedBytesNeverFault) {
    const std::vector<uint8_t> whole = GetParam()();
    std::mt19937 random(20261208);
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> bytes = whole;
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int k = 0; k < flips; ++k)
            bytes[random() % bytes.size()] ^= static_cast<uint8_t>(1 + random() % 255);
        pz4fmt::Image image;
        const bool ok = pz4gif::decodeGif(bytes.data(), bytes.size(), image);
        SCOPED_TRACE(round);
        expectSound(image, ok);
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, GifCorruption, ::testing::Values(&richSample, &encodedSample));

} // namespace
