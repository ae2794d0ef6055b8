// GIF files exchanged with other programs: ImageMagick's convert and Pillow write
// files we must read as they show them, and must read the files we write. Each
// test is skipped when its program is not installed.

#include "GifCodec.h"
#include "GifTestColours.h"

#include <ExternalTools.h>
#include <TempWorkDir.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

using namespace giftest;

namespace {

// An RGB picture, top row first, as the other programs exchange it.
struct Picture {
    int width = 0, height = 0;
    std::vector<Rgb> rgb;
    Rgb at(int x, int y) const { return rgb[static_cast<size_t>(y * width + x)]; }
};

// 12x9 pictures of many colours; `seed` moves a block so frames differ in part.
Picture picture(int seed) {
    Picture p{12, 9, {}};
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool block = x >= seed && x < seed + 4 && y >= 2 && y < 6;
            p.rgb.push_back(block ? Rgb{250, 250, static_cast<uint8_t>(10 * seed)}
                                  : Rgb{static_cast<uint8_t>(20 * x), static_cast<uint8_t>(28 * y),
                                        static_cast<uint8_t>(x * y)});
        }
    return p;
}

void writePpm(const std::string& path, const Picture& p) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << p.width << ' ' << p.height << "\n255\n";
    for (const Rgb& c : p.rgb)
        out << static_cast<char>(c.r) << static_cast<char>(c.g) << static_cast<char>(c.b);
}

Picture readPpm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    Picture p;
    in >> magic >> p.width >> p.height >> maxValue;
    in.get();
    for (int i = 0; in && i < p.width * p.height; ++i) {
        char c[3];
        in.read(c, 3);
        p.rgb.push_back(Rgb{static_cast<uint8_t>(c[0]), static_cast<uint8_t>(c[1]),
                            static_cast<uint8_t>(c[2])});
    }
    return p;
}

using pz4test::commandOutput;
using pz4test::haveImageMagick;
using pz4test::pillowPython;
using pz4test::succeeds;

pz4fmt::Image decodeFile(const std::filesystem::path& path) {
    const std::vector<unsigned char> bytes = pz4test::readFileBytes(path);
    pz4fmt::Image image;
    EXPECT_TRUE(pz4gif::decodeGif(bytes.data(), bytes.size(), image)) << path;
    return image;
}

void expectShows(const pz4fmt::Frame& f, const Picture& p) {
    ASSERT_EQ(f.width, p.width);
    ASSERT_EQ(f.height, p.height);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            ASSERT_EQ(colourAt(f, x, y), p.at(x, y)) << "at " << x << "," << y << " from the top";
}

// Our animation of three pictures, each with its own palette (so local tables).
struct Ours {
    std::vector<Picture> pictures;
    std::vector<std::vector<uint8_t>> pixels;
    std::vector<pz4fmt::Palette> palettes;

    Ours() {
        for (int i = 0; i < 3; ++i) {
            pictures.push_back(picture(2 * i + 1));
            const Picture& p = pictures.back();
            std::vector<uint8_t> px(p.rgb.size());
            pz4fmt::Palette pal{};
            // One palette entry per pixel, in document order (bottom row first), so
            // every colour is exact and every frame's palette differs.
            for (int y = 0; y < p.height; ++y)
                for (int x = 0; x < p.width; ++x) {
                    const size_t k = static_cast<size_t>((p.height - 1 - y) * p.width + x);
                    px[k] = static_cast<uint8_t>(k);
                    pal[k * 3] = p.at(x, y).r;
                    pal[k * 3 + 1] = p.at(x, y).g;
                    pal[k * 3 + 2] = p.at(x, y).b;
                }
            pixels.push_back(px);
            palettes.push_back(pal);
        }
    }
    bool save(const std::string& path) const {
        std::vector<pz4fmt::SaveInput> in;
        const int tags[3] = {7, 0, 40};
        for (size_t i = 0; i < 3; ++i)
            in.push_back({path.c_str(), pixels[i].data(), palettes[i].data(), 12, 9, 256, tags[i]});
        return pz4gif::saveGifAnimation(in);
    }
};

TEST(GifInterop, ReadsImageMagickFilesIncludingOptimisedLayers) {
    if (!haveImageMagick())
        GTEST_SKIP() << "ImageMagick convert is not installed";
    pz4test::TempWorkDir dir;
    const Picture a = picture(1), b = picture(5), c = picture(8);
    writePpm("a.ppm", a);
    writePpm("b.ppm", b);
    writePpm("c.ppm", c);
    ASSERT_TRUE(succeeds("convert -delay 20 a.ppm -delay 35 b.ppm c.ppm -loop 0 plain.gif"));
    // Frames reduced to the changed rectangle, with transparency: only compositing
    // gives the pictures back.
    ASSERT_TRUE(succeeds("convert -delay 5 a.ppm b.ppm c.ppm -layers Optimize optimised.gif"));
    ASSERT_TRUE(succeeds("convert a.ppm -interlace GIF interlaced.gif"));

    const pz4fmt::Image plain = decodeFile("plain.gif");
    ASSERT_EQ(plain.frames.size(), 3u);
    expectShows(plain.frames[0], a);
    expectShows(plain.frames[1], b);
    expectShows(plain.frames[2], c);
    EXPECT_EQ(plain.frames[0].tag, 20);
    EXPECT_EQ(plain.frames[1].tag, 35);

    const pz4fmt::Image optimised = decodeFile("optimised.gif");
    ASSERT_EQ(optimised.frames.size(), 3u);
    expectShows(optimised.frames[0], a);
    expectShows(optimised.frames[1], b);
    expectShows(optimised.frames[2], c);

    const pz4fmt::Image interlaced = decodeFile("interlaced.gif");
    ASSERT_EQ(interlaced.frames.size(), 1u);
    expectShows(interlaced.frames[0], a);
}

TEST(GifInterop, ImageMagickReadsOurAnimation) {
    if (!haveImageMagick())
        GTEST_SKIP() << "ImageMagick convert is not installed";
    pz4test::TempWorkDir dir;
    const Ours ours;
    ASSERT_TRUE(ours.save("ours.gif"));
    EXPECT_EQ(commandOutput("identify -format '%T %w %h;' ours.gif"), "7 12 9;10 12 9;40 12 9;");
    ASSERT_TRUE(succeeds("convert ours.gif -coalesce ppm:frame-%d.ppm"));
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const Picture shown = readPpm("frame-" + std::to_string(i) + ".ppm");
        ASSERT_EQ(shown.width, 12);
        ASSERT_EQ(shown.height, 9);
        EXPECT_EQ(shown.rgb, ours.pictures[static_cast<size_t>(i)].rgb);
    }
    EXPECT_NE(commandOutput("identify -verbose ours.gif"), "")
        << "identify could not read the file";
}

TEST(GifInterop, ReadsPillowFilesWithFrameDifferencing) {
    const std::string python = pillowPython();
    if (python.empty())
        GTEST_SKIP() << "Pillow is not installed";
    pz4test::TempWorkDir dir;
    const Picture a = picture(1), b = picture(5), c = picture(8);
    writePpm("a.ppm", a);
    writePpm("b.ppm", b);
    writePpm("c.ppm", c);
    // Pillow writes later frames as the rectangle that changed.
    ASSERT_TRUE(succeeds(python + " -c \"from PIL import Image; f=[Image.open(n) for n in "
                                  "('a.ppm','b.ppm','c.ppm')]; f[0].save('pil.gif', save_all=True, "
                                  "append_images=f[1:], duration=[200,350,90], loop=0)\""));
    const pz4fmt::Image image = decodeFile("pil.gif");
    ASSERT_EQ(image.frames.size(), 3u);
    expectShows(image.frames[0], a);
    expectShows(image.frames[1], b);
    expectShows(image.frames[2], c);
    EXPECT_EQ(image.frames[0].tag, 20);
    EXPECT_EQ(image.frames[1].tag, 35);
    EXPECT_EQ(image.frames[2].tag, 9);
}

TEST(GifInterop, PillowReadsOurAnimation) {
    const std::string python = pillowPython();
    if (python.empty())
        GTEST_SKIP() << "Pillow is not installed";
    pz4test::TempWorkDir dir;
    const Ours ours;
    ASSERT_TRUE(ours.save("ours.gif"));
    const std::string text = commandOutput(
        python + " -c \"from PIL import Image, ImageSequence; im=Image.open('ours.gif'); "
                 "print(im.info.get('loop')); [print(f.info['duration'], f.size, "
                 "f.convert('RGB').tobytes().hex()) for f in ImageSequence.Iterator(im)]\"");
    std::istringstream lines(text);
    std::string loop;
    std::getline(lines, loop);
    EXPECT_EQ(loop, "0") << "the animation does not loop forever";
    const int durations[3] = {70, 100, 400};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        std::string line;
        ASSERT_TRUE(std::getline(lines, line)) << text;
        std::string hex;
        for (const Rgb& c : ours.pictures[static_cast<size_t>(i)].rgb) {
            char h[7];
            std::snprintf(h, sizeof h, "%02x%02x%02x", c.r, c.g, c.b);
            hex += h;
        }
        EXPECT_EQ(line, std::to_string(durations[i]) + " (12, 9) " + hex);
    }
}

} // namespace
