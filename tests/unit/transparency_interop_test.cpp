// Transparent colours as other programs write and read them: what the plug-ins
// report for a frame, pixel for pixel, is what Pillow sees as see-through; and
// converting to GIF, PNG or WebP keeps it so.

#include "ExternalTools.h"
#include "GifTestFile.h"
#include "TempWorkDir.h"
#include "anim/AnimChain.h"
#include "frames/IntList.h"
#include "plugins/DllManager.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using Masks = std::vector<std::string>; // per frame, rows from the top, '0' see-through

// What Pillow shows of each file's frames, in the order given.
Masks pillowMasks(const std::string& python, const std::vector<std::string>& files) {
    std::string script = "from PIL import Image\nimport sys\nfor f in sys.argv[1:]:\n"
                         "    im = Image.open(f)\n"
                         "    for k in range(getattr(im, 'n_frames', 1)):\n"
                         "        im.seek(k)\n"
                         "        a = im.convert('RGBA').getchannel('A').tobytes()\n"
                         "        print(''.join('1' if v >= 128 else '0' for v in a))\n";
    pz4test::TempWorkDir here; // the script only
    here.write("masks.py", script);
    std::string command = python + " " + (here.path() / "masks.py").string();
    for (const std::string& f : files)
        command += " " + f;
    std::istringstream out(pz4test::commandOutput(command));
    Masks masks;
    for (std::string line; std::getline(out, line);)
        masks.push_back(line);
    return masks;
}

// The frames of `path` as the plug-ins hand them out, with their transparent index.
Masks ourMasks(cDllManager& plugins, const std::string& path) {
    Masks masks;
    if (!plugins.OpenObject(path.c_str()))
        return masks;
    for (int k = 0; k < plugins.FrameCount(); ++k) {
        const auto f = plugins.LockFrame(k);
        if (!f)
            break;
        std::string mask;
        for (int y = f->height - 1; y >= 0; --y)
            for (int x = 0; x < f->width; ++x)
                mask += f->pixels[y * f->width + x] == f->transparent ? '0' : '1';
        masks.push_back(mask);
    }
    plugins.CloseObject();
    return masks;
}

TEST(TransparencyInterop, PillowSeesTheSameTransparentPixelsBeforeAndAfterConverting) {
    const std::string python = pz4test::pillowPython();
    if (python.empty())
        GTEST_SKIP() << "Pillow is not installed";
    pz4test::TempWorkDir dir;
    dir.addAllFormats();
    // A GIF whose frames name different transparent indices, over a cleared screen.
    using giftest::Rgb;
    const std::vector<Rgb> four{{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    giftest::GifFile gif;
    gif.screen(3, 2, four, 2)
        .control(2, 5, 3)
        .image(0, 0, 3, 2, {3, 1, 3, 0, 3, 1})
        .control(2, 5, 1)
        .image(1, 0, 2, 2, {1, 2, 0, 1})
        .trailer();
    dir.write("frames.gif", gif.bytes());
    ASSERT_TRUE(pz4test::succeeds(
        "cd " + dir.path().string() + " && " + python +
        " -c \"from PIL import Image\n"
        "p = Image.new('P', (4, 2)); p.putpalette([0,0,0, 200,0,0, 0,200,0, 9,9,9])\n"
        "p.putdata([0, 1, 2, 3, 2, 2, 1, 0])\n"
        "p.save('one.png', transparency=2)\n"
        "p.save('several.png', transparency=bytes([0, 255, 60, 200]))\n"
        "a = Image.new('RGBA', (3, 2)); a.putdata([(1,2,3,255), (0,0,0,0), (9,9,9,127),"
        " (9,9,9,128), (200,0,0,255), (0,0,0,0)])\n"
        "a.save('rgba.png')\n"
        "b = a.copy(); b.putpixel((0, 0), (0, 0, 0, 0))\n"
        "a.save('anim.webp', save_all=True, append_images=[b], lossless=True, duration=50)\""));

    cDllManager plugins;
    for (const char* input : {"frames.gif", "one.png", "several.png", "rgba.png", "anim.webp"}) {
        SCOPED_TRACE(input);
        const std::string in = (dir.path() / input).string();
        const Masks expected = pillowMasks(python, {in});
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(ourMasks(plugins, in), expected);
        // Through the program's own saving, as Save and pzconv do it.
        for (const auto& [ext, kind] : {std::pair{"gif", cSaveChain::Kind::Animation},
                                        std::pair{"png", cSaveChain::Kind::Frames},
                                        std::pair{"webp", cSaveChain::Kind::Animation}}) {
            ASSERT_TRUE(plugins.OpenObject(in.c_str()));
            cIntList frames(0);
            for (int k = 1; k < plugins.FrameCount(); ++k)
                frames.Append(k);
            const std::string stem = (dir.path() / (std::string("out-") + input)).string();
            std::vector<unsigned char> grey(768, 128);
            const FrameSaveResult saved = SaveFrames(plugins, kind, &frames, stem.c_str(), ext,
                                                     grey.data(), LockFailure::SaveNothing);
            plugins.CloseObject();
            ASSERT_TRUE(saved.saved) << ext;
            EXPECT_EQ(pillowMasks(python, saved.files), expected) << ext;
        }
    }
}

} // namespace
