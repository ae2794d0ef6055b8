// WebP frames as libwebp's own animation decoder composes them, locked in any
// order; what we write reads back frame for frame, in our decoder and in Pillow;
// the cap on held pixels.

#include "ExternalTools.h"
#include "RasterTestKit.h"
#include "TempWorkDir.h"
#include "WebpCodec.h"

#include <gtest/gtest.h>
#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <memory>
#include <string>
#include <vector>

using namespace rastertest;

namespace {

constexpr int kCanvasW = 16, kCanvasH = 12;

struct Anmf {
    int x, y, w, h;
    bool blend, disposeToBackground;
};

// A few colours at alphas on both sides of the see-through edge, so blending makes
// new colours and the frames stay under 256 of them.
Bytes rectPixels(int frame, int w, int h) {
    static const uint8_t kAlpha[] = {255, 0, 90, 127, 128, 200};
    Bytes rgba;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            rgba.insert(rgba.end(),
                        {static_cast<uint8_t>(60 * frame + 40 * (x % 3)),
                         static_cast<uint8_t>(200 - 30 * (y % 4)), static_cast<uint8_t>(25 * frame),
                         kAlpha[(x + 2 * y + frame) % 6]});
    return rgba;
}

Bytes muxed(const std::vector<Anmf>& frames, int durationMs) {
    WebPMux* mux = WebPMuxNew();
    for (size_t k = 0; k < frames.size(); ++k) {
        const Anmf& a = frames[k];
        const Bytes rgba = rectPixels(static_cast<int>(k), a.w, a.h);
        uint8_t* encoded = nullptr;
        const size_t size = WebPEncodeLosslessRGBA(rgba.data(), a.w, a.h, a.w * 4, &encoded);
        WebPMuxFrameInfo info{};
        info.bitstream = {encoded, size};
        info.x_offset = a.x;
        info.y_offset = a.y;
        info.duration = durationMs;
        info.id = WEBP_CHUNK_ANMF;
        info.dispose_method =
            a.disposeToBackground ? WEBP_MUX_DISPOSE_BACKGROUND : WEBP_MUX_DISPOSE_NONE;
        info.blend_method = a.blend ? WEBP_MUX_BLEND : WEBP_MUX_NO_BLEND;
        EXPECT_EQ(WebPMuxPushFrame(mux, &info, 1), WEBP_MUX_OK);
        WebPFree(encoded);
    }
    const WebPMuxAnimParams params{0xFF102030, 0};
    WebPMuxSetAnimationParams(mux, &params);
    WebPMuxSetCanvasSize(mux, kCanvasW, kCanvasH);
    WebPData out;
    WebPDataInit(&out);
    EXPECT_EQ(WebPMuxAssemble(mux, &out), WEBP_MUX_OK);
    Bytes bytes(out.bytes, out.bytes + out.size);
    WebPDataClear(&out);
    WebPMuxDelete(mux);
    return bytes;
}

// The frames libwebp's animation decoder shows, as RGBA canvases.
std::vector<Bytes> referenceFrames(const Bytes& file) {
    const WebPData data{file.data(), file.size()};
    WebPAnimDecoder* dec = WebPAnimDecoderNew(&data, nullptr);
    std::vector<Bytes> frames;
    uint8_t* canvas = nullptr;
    int timestamp = 0;
    while (dec != nullptr && WebPAnimDecoderGetNext(dec, &canvas, &timestamp))
        frames.emplace_back(canvas, canvas + kCanvasW * kCanvasH * 4);
    WebPAnimDecoderDelete(dec);
    return frames;
}

// Each pixel as shown: see-through, or its colour; rows from the top.
std::vector<int> shownOf(const pz4fmt::Frame& f) {
    std::vector<int> out;
    for (int y = f.height - 1; y >= 0; --y)
        for (int x = 0; x < f.width; ++x) {
            const int k = f.pixels[static_cast<size_t>(y) * f.width + x];
            const uint8_t* c = f.palette.data() + 3 * k;
            out.push_back(k == f.transparentIndex ? -1 : c[0] << 16 | c[1] << 8 | c[2]);
        }
    return out;
}
std::vector<int> shownOf(const Bytes& rgba) {
    std::vector<int> out;
    for (size_t i = 0; i < rgba.size(); i += 4)
        out.push_back(rgba[i + 3] < 128 ? -1 : rgba[i] << 16 | rgba[i + 1] << 8 | rgba[i + 2]);
    return out;
}

std::unique_ptr<pz4fmt::FrameSource> open(const Bytes& file, size_t cap = pz4fmt::kMaxHeldBytes) {
    pz4fmt::Failure why;
    auto source = pz4webp::openWebp(file, cap, &why);
    EXPECT_NE(source, nullptr) << why.reason();
    return source;
}

} // namespace

TEST(WebpDecode, FramesAreComposedAsLibwebpShowsThemInAnyOrder) {
    const struct {
        const char* what;
        std::vector<Anmf> frames;
    } cases[] = {
        {"blending over kept frames",
         {{0, 0, 16, 12, true, false}, {2, 2, 8, 6, true, false}, {4, 4, 10, 6, true, false}}},
        {"blending next to a frame cleared to the background",
         {{0, 0, 16, 12, true, false},
          {2, 2, 8, 6, true, true},
          {4, 4, 10, 6, true, false},
          {0, 0, 6, 4, false, false}}},
        {"key frames after clearing the whole canvas",
         {{0, 0, 16, 12, true, false},
          {0, 0, 16, 12, false, true},
          {6, 2, 4, 4, true, false},
          {2, 6, 12, 4, true, true},
          {8, 0, 8, 12, true, false}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes file = muxed(c.frames, 45);
        const std::vector<Bytes> expected = referenceFrames(file);
        ASSERT_EQ(expected.size(), c.frames.size());
        auto inOrder = open(file);
        auto backwards = open(file);
        ASSERT_TRUE(inOrder && backwards);
        ASSERT_EQ(inOrder->frameCount(), static_cast<int>(c.frames.size()));
        for (int k = inOrder->frameCount() - 1; k >= 0; --k)
            ASSERT_NE(backwards->lock(k), nullptr);
        for (int k = 0; k < inOrder->frameCount(); ++k) {
            const pz4fmt::Frame* f = inOrder->lock(k);
            ASSERT_NE(f, nullptr);
            expectSoundFrame(*f);
            EXPECT_EQ(shownOf(*f), shownOf(expected[static_cast<size_t>(k)])) << "frame " << k;
            EXPECT_EQ(f->tag, 5) << "45 ms rounds up to 5/100 s";
            EXPECT_EQ(backwards->lock(k)->pixels, f->pixels) << "frame " << k;
            // See-through pixels show the animation's background colour.
            if (f->transparentIndex >= 0) {
                EXPECT_EQ(rgb(f->transparentIndex, *f), (Bytes{0x10, 0x20, 0x30}));
            }
        }
    }
}

TEST(WebpDecode, CapOnHeldPixels) {
    const Bytes file = muxed({{0, 0, 16, 12, true, false}, {2, 2, 8, 6, true, false}}, 10);
    // Room for the canvas, the rectangle blended over it and one frame: the second
    // lock is refused, the count stays.
    auto tight = open(file, 16 * 12 * 4 + 8 * 6 * 4 + 16 * 12 + 100);
    ASSERT_NE(tight, nullptr);
    EXPECT_EQ(tight->lock(1), nullptr);
    EXPECT_EQ(tight->frameCount(), 2);
    pz4fmt::Failure why;
    EXPECT_EQ(pz4webp::openWebp(file, 16 * 12 * 4, &why), nullptr);
    EXPECT_EQ(why.reason(), "picture of 16x12 pixels is beyond the decoding limit of 768 bytes");
}

// Written lossless: every frame comes back with its colours, one frame a record even
// where two are alike, durations from the tags, smaller frames at the top left.
TEST(WebpEncode, WrittenFramesReadBackExactlyHereAndInPillow) {
    Picture big = samplePicture(13, 7, 256), small = samplePicture(5, 3, 16);
    small.palette[0] = 9; // the entry the rest of the canvas shows
    std::vector<pz4fmt::SaveInput> frames = {saveInputOf(big), saveInputOf(big), saveInputOf(small),
                                             saveInputOf(big)};
    const int tags[] = {7, 7, 0, -3};
    const int shownTags[] = {7, 7, 10, 10};
    for (size_t k = 0; k < 4; ++k)
        frames[k].tag = tags[k];
    pz4test::TempWorkDir dir;
    dir.write("anim.webp", pz4webp::encodeWebpAnimation(frames));
    dir.write("still.webp", pz4webp::encodeWebpImage(saveInputOf(small)));
    auto anim = open(pz4test::readFileBytes(dir.path() / "anim.webp"));
    auto still = open(pz4test::readFileBytes(dir.path() / "still.webp"));
    ASSERT_TRUE(anim && still);
    ASSERT_EQ(anim->frameCount(), 4);
    Bytes expectedRgb; // every frame on the 13 x 7 canvas, top row first, as Pillow lists it
    for (int k = 0; k < 4; ++k) {
        const pz4fmt::SaveInput& in = frames[static_cast<size_t>(k)];
        const pz4fmt::Frame* f = anim->lock(k);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->tag, shownTags[k]);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 13; ++x) {
                const bool inside = x < in.width && y < in.height;
                const uint8_t* want =
                    in.palette +
                    3 * (inside ? in.pixels[static_cast<size_t>(in.height - 1 - y) * in.width + x]
                                : 0);
                const uint8_t* got = f->palette.data() + 3 * f->pixels[(6 - y) * 13 + x];
                ASSERT_EQ(Bytes(got, got + 3), Bytes(want, want + 3)) << k << ": " << x << "," << y;
                expectedRgb.insert(expectedRgb.end(), want, want + 3);
            }
    }
    const pz4fmt::Frame* s = still->lock(0);
    ASSERT_NE(s, nullptr);
    for (size_t i = 0; i < s->pixels.size(); ++i)
        EXPECT_EQ(rgb(s->pixels[i], *s), Bytes(small.palette.begin() + 3 * small.pixels[i],
                                               small.palette.begin() + 3 * small.pixels[i] + 3));

    const std::string python = pz4test::pillowPython();
    if (python.empty())
        GTEST_SKIP() << "Pillow is not installed";
    ASSERT_TRUE(pz4test::succeeds(
        python +
        " -c \"from PIL import Image; im = Image.open('anim.webp'); out = open('rgb', 'wb'); "
        "d = open('durations', 'w')\n"
        "for k in range(im.n_frames):\n"
        "    im.seek(k); out.write(im.convert('RGB').tobytes()); "
        "d.write('%d ' % im.info['duration'])\""));
    EXPECT_EQ(pz4test::readFileBytes(dir.path() / "rgb"), expectedRgb);
    EXPECT_EQ(dir.read("durations"), "70 70 100 100 ");
}
