// FLC files we write, read by Pillow's FLI reader and ffmpeg's FLIC decoder: each
// must see our pixels and colours. And FLI files as ffmpeg reads them, as we do.
// Each check is skipped when its program is not installed.

#include "FlicTestFile.h"
#include "InteropKit.h"

#include <gtest/gtest.h>

using namespace flictest;
using rastertest::topDownRgb;

namespace {

// Frames of `width` x `height`: a few pixels changing (a word delta), a repeated
// frame, a frame of colours alone, noise (a byte run), a palette change.
struct Ours {
    int width, height;
    std::vector<Bytes> pixels;
    std::vector<pz4fmt::Palette> palettes;

    Ours(int w, int h) : width(w), height(h) {
        const size_t n = size_t(w) * size_t(h);
        Bytes base(n);
        for (size_t i = 0; i < n; ++i)
            base[i] = uint8_t((i % size_t(w)) / 3 + i / 7);
        Bytes touched = base;
        for (int y = 0; y < h; y += 2)
            touched[size_t(y * w + std::max(0, w - 2))] = uint8_t(200 + y % 50);
        for (int x = 0; x < std::min(w - 1, 4); ++x)
            touched[size_t(x)] = 77;
        Bytes noise = touched;
        for (size_t i = 0; i < n; i += 3)
            noise[i] = uint8_t(i * 13);
        pixels = {base, touched, touched, touched, noise, base};
        for (int k = 0; k < 6; ++k) {
            pz4fmt::Palette pal{};
            for (size_t i = 0; i < 768; ++i)
                pal[i] = uint8_t(i * 5 + (k >= 3 ? 40 * (k - 2) : 0) * (i % 3 == 1));
            palettes.push_back(pal);
        }
    }

    Bytes encode() const {
        std::vector<pz4fmt::SaveInput> in;
        for (size_t k = 0; k < pixels.size(); ++k)
            in.push_back(
                {"x", pixels[k].data(), palettes[k].data(), width, height, 256, k == 5 ? 30 : 8});
        Bytes out;
        EXPECT_TRUE(pz4flic::encodeFlc(in, out));
        return out;
    }
    Bytes rgb(size_t k) const {
        return topDownRgb(width, height, pixels[k].data(), palettes[k].data());
    }
};

// Sizes: one pixel, an odd width (its last column by its own opcode), a row longer
// than a column skip can span, the FLI screen.
const std::pair<int, int> kSizes[] = {{1, 1}, {3, 2}, {7, 5}, {600, 3}, {320, 200}};

Bytes slice(const Bytes& all, size_t k, size_t bytes) {
    return Bytes(all.begin() + long(k * bytes), all.begin() + long((k + 1) * bytes));
}

std::string ffmpegFrames(const std::string& input, const std::string& output) {
    return "ffmpeg -v error -y -i " + input + " -f rawvideo -pix_fmt rgb24 -vsync passthrough " +
           output;
}

// Pillow keeps the palette of the first frame for the whole file, so its pictures
// are compared by index, and the first palette by colour.
const char* const kPillowRead = R"(
import sys
from PIL import Image, ImageSequence
im = Image.open(sys.argv[1])
print(im.n_frames, im.info.get('duration'))
with open(sys.argv[1] + '.pal', 'wb') as p:
    p.write(bytes(im.getpalette()))
with open(sys.argv[1] + '.idx', 'wb') as out:
    for f in ImageSequence.Iterator(im):
        out.write(f.tobytes())
)";

TEST(FlicInterop, FfmpegAndPillowReadOurFilesWithOurPixelsAndColours) {
    const bool ffmpeg = pz4test::haveFfmpeg();
    const std::string python = pz4test::pillowPython();
    if (!ffmpeg && python.empty())
        GTEST_SKIP() << "neither ffmpeg nor Pillow is installed";
    pz4test::TempWorkDir dir;
    dir.write("read.py", std::string(kPillowRead));
    for (const auto& [w, h] : kSizes) {
        const std::string name = "ours" + std::to_string(w) + "x" + std::to_string(h) + ".flc";
        SCOPED_TRACE(name);
        const Ours ours(w, h);
        const Bytes file = ours.encode();
        dir.write(name, file);
        const size_t pixels = size_t(w) * size_t(h);
        // ffmpeg hands out one picture per frame chunk, the ring frame showing frame 0
        // again; some versions leave out chunks that change nothing.
        std::vector<size_t> every, changing;
        int wordDeltas = 0;
        const std::vector<pz4flic::FrameEntry> chunks = everyFrameChunk(file);
        for (size_t i = 0; i < chunks.size(); ++i) {
            every.push_back(i < ours.pixels.size() ? i : 0);
            if (chunks[i].size > 16)
                changing.push_back(every.back());
            for (size_t at = chunks[i].offset + 16; at < chunks[i].offset + chunks[i].size;
                 at += pz4fmt::le32(&file[at]))
                wordDeltas += pz4fmt::le16(&file[at + 4]) == 7;
        }
        if (w > 3) { // smaller screens take byte runs: they cost less
            EXPECT_GT(wordDeltas, 0);
        }
        if (ffmpeg) {
            ASSERT_TRUE(pz4test::succeeds(ffmpegFrames(name, name + ".rgb")));
            const Bytes all = pz4test::readFileBytes(dir.path() / (name + ".rgb"));
            const std::vector<size_t>& shown =
                all.size() / (3 * pixels) == changing.size() ? changing : every;
            ASSERT_EQ(all.size(), shown.size() * 3 * pixels);
            for (size_t i = 0; i < shown.size(); ++i)
                EXPECT_EQ(slice(all, i, 3 * pixels), ours.rgb(shown[i]))
                    << "ffmpeg's picture " << i << ", our frame " << shown[i];
        }
        if (!python.empty()) {
            EXPECT_EQ(pz4test::commandOutput(python + " read.py " + name), "6 80\n");
            EXPECT_EQ(pz4test::readFileBytes(dir.path() / (name + ".pal")),
                      Bytes(ours.palettes[0].begin(), ours.palettes[0].end()));
            const Bytes all = pz4test::readFileBytes(dir.path() / (name + ".idx"));
            ASSERT_EQ(all.size(), ours.pixels.size() * pixels);
            for (size_t k = 0; k < ours.pixels.size(); ++k) {
                pz4fmt::Frame f;
                f.width = w;
                f.height = h;
                f.pixels = ours.pixels[k];
                EXPECT_EQ(slice(all, k, pixels), topDown(f)) << "Pillow's frame " << k;
            }
        }
    }
}

TEST(FlicInterop, FfmpegSeesHandBuiltFliFramesAsWeDo) {
    if (!pz4test::haveFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    pz4test::TempWorkDir dir;
    // Six-bit colours, black, a byte run, a byte delta, a word delta: every frame
    // changes something, so ffmpeg shows each.
    ByteWriter run;
    for (int y = 0; y < 200; ++y)
        run.u8({4, 100, y % 4}) // 4 packets: 100 x (y mod 4)
            .u8({0xFE, 5, 6})   // 2 literals
            .u8({118, 3})       // 118 x 3
            .u8({100, 1});      // 100 x 1
    const Bytes fli = file(
        fliHeader(4, 5), {frame({chunk(11, ByteWriter()
                                               .le16(1)    // packets
                                               .u8({0, 8}) // entries 0..7
                                               .u8({0, 0, 0, 63, 63, 63, 32, 16, 8, 1, 2, 3})
                                               .u8({63, 0, 0, 0, 63, 0, 0, 0, 63, 20, 40, 60})),
                                 chunk(13, ByteWriter())}),
                          frame({chunk(15, run)}),
                          frame({chunk(12, ByteWriter()
                                               .le16(10)                           // first row
                                               .le16(2)                            // rows
                                               .u8({2, 4, 3, 7, 7, 7, 1, 0xFE, 6}) // copy 3, 2 x 6
                                               .u8({1, 0, 0x80, 2}))}),            // 128 x 2
                          frame({chunk(7, ByteWriter()
                                              .le16(1)                // rows with packets
                                              .le16(0x10000 - 150)    // skip 150 rows
                                              .le16(1)                // packet count
                                              .u8({10, 0xF0, 1, 4})), // 16 x the word 1 4
                                 chunk(11, ByteWriter().le16(1).u8({3, 1, 0, 63, 0}))}),
                          frame({chunk(13, ByteWriter())})}); // ring frame
    dir.write("hand.fli", fli);
    const pz4fmt::Image image = decode(fli);
    ASSERT_EQ(image.frames.size(), 4u);
    ASSERT_TRUE(pz4test::succeeds(ffmpegFrames("hand.fli", "hand.rgb")));
    const Bytes all = pz4test::readFileBytes(dir.path() / "hand.rgb");
    const size_t frameBytes = 320 * 200 * 3;
    ASSERT_EQ(all.size(), 5 * frameBytes) << "four frames and the ring frame";
    for (size_t k = 0; k < 4; ++k) {
        const pz4fmt::Frame& f = image.frames[k];
        EXPECT_EQ(slice(all, k, frameBytes),
                  topDownRgb(f.width, f.height, f.pixels.data(), f.palette.data()))
            << "frame " << k;
    }
}

} // namespace
