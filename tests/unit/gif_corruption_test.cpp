// Damaged GIF files: every truncation and a fixed set of byte flips of small samples
// must decode without fault (the suite runs under ASan/UBSan) into sound frames.

#include "GifCodec.h"
#include "GifTestColours.h"
#include "GifTestFile.h"
#include "RasterTestKit.h"

#include <gtest/gtest.h>

using namespace giftest;
using namespace rastertest;

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

class GifCorruption : public ::testing::TestWithParam<std::vector<uint8_t> (*)()> {};

TEST_P(GifCorruption, EveryTruncationKeepsTheFramesBeforeTheCut) {
    const std::vector<uint8_t> whole = GetParam()();
    pz4fmt::Image full;
    ASSERT_TRUE(pz4gif::decodeGif(whole.data(), whole.size(), full));
    ASSERT_GE(full.frames.size(), 2u);
    forEachTruncation(whole, [&](const Bytes& cut) {
        pz4fmt::Image image;
        const bool ok = pz4gif::decodeGif(cut.data(), cut.size(), image);
        expectSoundAnimation(image, ok);
        ASSERT_LE(image.frames.size(), full.frames.size());
        // All but the last frame came through whole; the last may be cut short.
        expectSameFrames(image, full, image.frames.empty() ? 0 : image.frames.size() - 1);
    });
}

TEST_P(GifCorruption, FlippedBytesNeverFault) {
    const std::vector<uint8_t> whole = GetParam()();
    forEachChangedCopy(whole, 3000, [](const Bytes& bytes) {
        pz4fmt::Image image;
        const bool ok = pz4gif::decodeGif(bytes.data(), bytes.size(), image);
        expectSoundAnimation(image, ok);
    });
}

INSTANTIATE_TEST_SUITE_P(Samples, GifCorruption, ::testing::Values(&richSample, &encodedSample));

} // namespace
