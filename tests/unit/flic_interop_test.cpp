// FLC files we write, read by Pillow's FLI reader and ffmpeg's FLIC decoder: each
// must see our pixels and colours. And FLI files as ffmpeg reads them, as we do.
// Each check is skipped when its program is not installed.

#include "FlicTestFile.h"

#include <ExternalTools.h>
#include <TempWorkDir.h>
#include <gtest/gtest.h>

#include <sstream>

using namespace flictest;

namespace {

// An animation of `width` x `height` frames: a few pixels changing (a word delta),
// a repeated frame, a frame of colours alone, noise (a
// byte run), a palette change.
struct Ours {
    int width, height;
    std::vector<Bytes> pixels;
    std::vector<pz4fmt::Palette> palettes;
    std::vector<int> tags;

    Ours(int w, int h) : width(w), height(h) {
        const size_t n = static_cast<size_t>(w) * static_cast<size_t>(h);
        Bytes base(n);
        for (size_t i = 0; i < n; ++i)
            base[i] = static_cast<uint8_t>((i % static_cast<size_t>(w)) / 3 + i / 7);
        Bytes touched = base;
        for (int y = 0; y < h; y += 2)
            touched[static_cast<size_t>(y * w + std::max(0, w - 2))] =
                static_cast<uint8_t>(200 + y % 50);
        for (int x = 0; x < std::min(w - 1, 4); ++x)
            touched[static_cast<size_t>(x)] = 77;
        Bytes noise = touched;
        for (size_t i = 0; i < n; i += 3)
            noise[i] = static_cast<uint8_t>(i * 13);
        pixels = {base, touched, touched, touched, noise, base};
        for (int k = 0; k < 6; ++k) {
            pz4fmt::Palette pal{};
            for (size_t i = 0; i < 768; ++i)
                pal[i] = static_cast<uint8_t>(i * 5 + (k >= 3 ? 40 * (k - 2) : 0) * (i % 3 == 1));
            palettes.push_back(pal);
            tags.push_back(k == 5 ? 30 : 8);
        }
    }

    Bytes encode() const {
        std::vector<pz4fmt::SaveInput> in;
        for (size_t k = 0; k < pixels.size(); ++k)
            in.push_back({"x", pixels[k].data(), palettes[k].data(), width, height, 256, tags[k]});
        Bytes out;
        EXPECT_TRUE(pz4flic::encodeFlc(in, out));
        return out;
    }

    // Frame k as other programs list it: RGB, top row first.
    Bytes rgb(size_t k) const {
        Bytes out;
        for (int y = height - 1; y >= 0; --y)
            for (int x = 0; x < width; ++x) {
                const uint8_t p = pixels[k][static_cast<size_t>(y * width + x)];
                out.insert(out.end(), palettes[k].begin() + 3 * p, palettes[k].begin() + 3 * p + 3);
            }
        return out;
    }
    Bytes indicesTopDown(size_t k) const {
        Bytes out;
        for (int y = height - 1; y >= 0; --y)
            out.insert(out.end(), pixels[k].begin() + y * width,
                       pixels[k].begin() + (y + 1) * width);
        return out;
    }
};

// Sizes: one pixel, an odd width (its last column by its own opcode), a row longer
// than a column skip can span, the FLI screen.
const std::pair<int, int> kSizes[] = {{1, 1}, {3, 2}, {7, 5}, {600, 3}, {320, 200}};

// ffmpeg hands out one picture per frame chunk, the ring frame included (showing
// the first frame again); some versions leave out chunks that change nothing.
std::vector<size_t> framesFfmpegShows(const Bytes& file, size_t frames, size_t pictures) {
    Bytes uncounted = file;
    uncounted[6] = uncounted[7] = 0;
    pz4flic::FlicInfo info;
    EXPECT_TRUE(pz4flic::scanFlic(uncounted.data(), uncounted.size(), info));
    std::vector<size_t> every, changing;
    for (size_t i = 0; i < info.frames.size(); ++i) {
        every.push_back(i < frames ? i : 0);
        if (info.frames[i].size > 16)
            changing.push_back(i < frames ? i : 0);
    }
    return pictures == changing.size() ? changing : every;
}

int wordDeltas(const Bytes& file) {
    pz4flic::FlicInfo info;
    EXPECT_TRUE(pz4flic::scanFlic(file.data(), file.size(), info));
    int found = 0;
    for (const pz4flic::FrameEntry& e : info.frames)
        for (size_t at = e.offset + 16; at < e.offset + e.size; at += pz4fmt::le32(&file[at]))
            found += pz4fmt::le16(&file[at + 4]) == 7;
    return found;
}

std::string ffmpegFrames(const std::string& input, const std::string& output) {
    return "ffmpeg -v error -y -i " + input + " -f rawvideo -pix_fmt rgb24 -vsync passthrough " +
           output;
}

TEST(FlicInterop, FfmpegReadsOurFilesWithOurColours) {
    if (!pz4test::haveFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    pz4test::TempWorkDir dir;
    for (const auto& [w, h] : kSizes) {
        const std::string name = "ours" + std::to_string(w) + "x" + std::to_string(h) + ".flc";
        SCOPED_TRACE(name);
        const Ours ours(w, h);
        const Bytes file = ours.encode();
        dir.write(name, file);
        if (w > 3) { // smaller screens take byte runs: they cost less
            EXPECT_GT(wordDeltas(file), 0);
        }
        ASSERT_TRUE(pz4test::succeeds(ffmpegFrames(name, name + ".rgb")));
        const Bytes all = pz4test::readFileBytes(dir.path() / (name + ".rgb"));
        const size_t frameBytes = static_cast<size_t>(w) * static_cast<size_t>(h) * 3;
        const std::vector<size_t> shown =
            framesFfmpegShows(file, ours.pixels.size(), all.size() / frameBytes);
        ASSERT_EQ(all.size(), shown.size() * frameBytes);
        for (size_t i = 0; i < shown.size(); ++i)
            EXPECT_EQ(Bytes(all.begin() + static_cast<long>(i * frameBytes),
                            all.begin() + static_cast<long>((i + 1) * frameBytes)),
                      ours.rgb(shown[i]))
                << "picture " << i << ", our frame " << shown[i];
    }
}

// Pillow reads the palette of the first frame only and keeps it for the whole file,
// so its pictures are compared by index, and the first palette by colour.
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

TEST(FlicInterop, PillowReadsOurFilesWithOurIndicesAndPalette) {
    const std::string python = pz4test::pillowPython();
    if (python.empty())
        GTEST_SKIP() << "Pillow is not installed";
    pz4test::TempWorkDir dir;
    dir.write("read.py", std::string(kPillowRead));
    for (const auto& [w, h] : kSizes) {
        const std::string name = "ours" + std::to_string(w) + "x" + std::to_string(h) + ".flc";
        SCOPED_TRACE(name);
        const Ours ours(w, h);
        dir.write(name, ours.encode());
        const std::string said = pz4test::commandOutput(python + " read.py " + name);
        EXPECT_EQ(said, "6 80\n");
        EXPECT_EQ(pz4test::readFileBytes(dir.path() / (name + ".pal")),
                  Bytes(ours.palettes[0].begin(), ours.palettes[0].end()));
        const Bytes all = pz4test::readFileBytes(dir.path() / (name + ".idx"));
        const size_t frameBytes = static_cast<size_t>(w) * static_cast<size_t>(h);
        ASSERT_EQ(all.size(), ours.pixels.size() * frameBytes);
        for (size_t k = 0; k < ours.pixels.size(); ++k)
            EXPECT_EQ(Bytes(all.begin() + static_cast<long>(k * frameBytes),
                            all.begin() + static_cast<long>((k + 1) * frameBytes)),
                      ours.indicesTopDown(k))
                << "frame " << k;
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
        run.u8({4})                                 // packets
            .u8({100, static_cast<uint8_t>(y % 4)}) // 100 x (y mod 4)
            .u8({0xFE, 5, 6})                       // 2 literals
            .u8({118, 3})                           // 118 x 3
            .u8({100, 1});                          // 100 x 1
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
        Bytes rgb;
        for (uint8_t p : topDown(f))
            rgb.insert(rgb.end(), f.palette.begin() + 3 * p, f.palette.begin() + 3 * p + 3);
        EXPECT_EQ(Bytes(all.begin() + static_cast<long>(k * frameBytes),
                        all.begin() + static_cast<long>((k + 1) * frameBytes)),
                  rgb)
            << "frame " << k;
    }
}

} // namespace
