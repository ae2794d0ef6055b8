#pragma once

// Checks against ImageMagick and Pillow: files they write read with the
// colours they themselves see in them, and files we write open in both with
// the right pixels. Skipped where a program is not installed.

#include "ExternalTools.h"
#include "RasterTestKit.h"
#include "TempWorkDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <string>

namespace rastertest {

using pz4test::pillowPython;
using pz4test::succeeds;
inline bool haveConvert() {
    return pz4test::haveImageMagick();
}

// RGB of every pixel, top row first, the way other programs list a picture.
inline Bytes topDownRgb(int width, int height, const uint8_t* pixels, const uint8_t* palette) {
    Bytes out;
    for (int y = height - 1; y >= 0; --y)
        for (int x = 0; x < width; ++x) {
            const uint8_t* c = palette + 3 * pixels[static_cast<size_t>(y) * width + x];
            out.insert(out.end(), c, c + 3);
        }
    return out;
}

// A 14 x 9 picture of twelve colours, so that quantising tools keep it exact.
inline Picture twelveColours() {
    Picture p = samplePicture(14, 9, 12);
    const uint8_t colours[12][3] = {{0, 0, 0},       {255, 255, 255}, {200, 30, 40},
                                    {30, 200, 40},   {40, 30, 200},   {250, 200, 10},
                                    {10, 200, 250},  {128, 64, 32},   {90, 90, 90},
                                    {250, 120, 200}, {5, 60, 20},     {180, 180, 120}};
    for (int k = 0; k < 12; ++k)
        std::copy(colours[k], colours[k] + 3, p.palette.begin() + 3 * k);
    return p;
}

inline void writePpm(const pz4test::TempWorkDir& dir, const std::string& name, const Picture& p) {
    const Bytes rgb = topDownRgb(p.width, p.height, p.pixels.data(), p.palette.data());
    dir.write(name, "P6\n" + std::to_string(p.width) + " " + std::to_string(p.height) + "\n255\n" +
                        std::string(rgb.begin(), rgb.end()));
}

// Our decoding of `file` shows the colours `rgbFile` (the writing program's own reading) holds.
inline void expectReadsAs(DecodeFn decode, const pz4test::TempWorkDir& dir, const std::string& file,
                          const std::string& rgbFile) {
    SCOPED_TRACE(file);
    const Bytes bytes = pz4test::readFileBytes(dir.path() / file);
    ASSERT_FALSE(bytes.empty());
    pz4fmt::Image image;
    pz4fmt::Failure why;
    ASSERT_TRUE(decode(bytes.data(), bytes.size(), image, &why)) << why.reason();
    expectWellFormed(image);
    const pz4fmt::Frame& f = image.frames[0];
    const Bytes expected = pz4test::readFileBytes(dir.path() / rgbFile);
    EXPECT_EQ(topDownRgb(f.width, f.height, f.pixels.data(), f.palette.data()), expected);
}

inline const char* const kPillowWrite = R"(
import sys
from PIL import Image
w, h, mode, out = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3], sys.argv[4]
im = Image.frombytes('P', (w, h), open('indices', 'rb').read())
im.putpalette(open('palette', 'rb').read())
if mode in ('1', 'L'):
    im = im.convert(mode)
options = {'bits': int(mode[1:])} if mode.startswith('b') else {}
im.save(out, **options)
open(out + '.rgb', 'wb').write(Image.open(out).convert('RGB').tobytes())
)";

inline const char* const kPillowRead = R"(
import sys
from PIL import Image
im = Image.open(sys.argv[1])
open(sys.argv[1] + '.mode', 'w').write(im.mode)
open(sys.argv[1] + '.rgb', 'wb').write(im.convert('RGB').tobytes())
)";

struct ToolCase {
    const char* how;  // convert's options, or Pillow's mode (P, b<bits>, 1, L)
    const char* file; // for convert possibly with a format prefix, "BMP3:x.bmp"
};

// Each file convert writes from one twelve-colour picture reads as convert reads it.
inline void checkImageMagickFiles(DecodeFn decode, std::initializer_list<ToolCase> cases) {
    if (!haveConvert())
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    pz4test::TempWorkDir dir;
    writePpm(dir, "in.ppm", twelveColours());
    for (const ToolCase& c : cases) {
        std::string file = c.file;
        const size_t colon = file.find(':');
        if (colon != std::string::npos)
            file = file.substr(colon + 1);
        ASSERT_TRUE(succeeds(std::string("convert in.ppm ") + c.how + " " + c.file)) << c.file;
        ASSERT_TRUE(succeeds("convert " + file + " -depth 8 rgb:" + file + ".rgb")) << file;
        expectReadsAs(decode, dir, file, file + ".rgb");
    }
}

// The same for the files Pillow writes.
inline void checkPillowFiles(DecodeFn decode, std::initializer_list<ToolCase> cases) {
    const std::string python = pillowPython();
    if (python.empty())
        GTEST_SKIP() << "Pillow is not installed";
    pz4test::TempWorkDir dir;
    const Picture p = twelveColours();
    Bytes top; // Pillow's rows run top-down
    for (int y = p.height - 1; y >= 0; --y)
        top.insert(top.end(), p.pixels.begin() + y * p.width, p.pixels.begin() + (y + 1) * p.width);
    dir.write("indices", top);
    dir.write("palette", Bytes(p.palette.begin(), p.palette.end()));
    dir.write("write.py", std::string(kPillowWrite));
    for (const ToolCase& c : cases) {
        ASSERT_TRUE(succeeds(python + " write.py " + std::to_string(p.width) + " " +
                             std::to_string(p.height) + " " + c.how + " " + c.file))
            << c.file;
        expectReadsAs(decode, dir, c.file, std::string(c.file) + ".rgb");
    }
}

using EncodeFn = std::vector<uint8_t> (*)(const pz4fmt::SaveInput&);

// What `encode` writes opens in convert and in Pillow, as a palette image with our colours.
inline void checkOthersOpen(EncodeFn encode, const std::string& ext) {
    const bool convert = haveConvert();
    const std::string python = pillowPython();
    if (!convert && python.empty())
        GTEST_SKIP() << "neither ImageMagick nor Pillow is installed";
    pz4test::TempWorkDir dir;
    dir.write("read.py", std::string(kPillowRead));
    for (int colours : {256, 16, 2}) {
        const Picture p = samplePicture(13, 7, colours);
        const std::string file = "ours" + std::to_string(colours) + "." + ext;
        SCOPED_TRACE(file);
        dir.write(file, encode(saveInputOf(p)));
        const Bytes expected = topDownRgb(p.width, p.height, p.pixels.data(), p.palette.data());
        if (convert) {
            ASSERT_TRUE(succeeds("convert " + file + " -depth 8 rgb:" + file + ".im"));
            EXPECT_EQ(pz4test::readFileBytes(dir.path() / (file + ".im")), expected);
        }
        if (!python.empty()) {
            ASSERT_TRUE(succeeds(python + " read.py " + file));
            EXPECT_EQ(dir.read(file + ".mode"), "P");
            EXPECT_EQ(pz4test::readFileBytes(dir.path() / (file + ".rgb")), expected);
        }
    }
}

} // namespace rastertest
