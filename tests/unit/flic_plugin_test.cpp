// The built pzflc and pzfli modules, driven through their twelve exports as the
// program does, and through the program's plug-in manager for conversions.

#include "FlicTestFile.h"
#include "PluginTestKit.h"
#include "plugins/DllManager.h"
#include "plugins/SaveChain.h"
#include "pz4/PluginContract.h"

#include <TempWorkDir.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace flictest;
namespace plugin = pz4::plugin;

namespace {

class FlicPlugin : public ::testing::TestWithParam<const char*>,
                   protected plugintest::PluginDriver {
protected:
    void SetUp() override { ASSERT_TRUE(attach(GetParam())); }
};

// Three 3 x 2 frames: the first and last show the same pixels, the palette changes
// for the third.
struct ThreeFrames {
    Bytes a{0, 1, 2, 3, 0, 1}, b{3, 3, 3, 2, 2, 2};
    Bytes palette = Bytes(768, 0), other = Bytes(768, 0);
    ThreeFrames() {
        for (size_t i = 0; i < 4; ++i) {
            palette[i * 3] = static_cast<uint8_t>(60 * i);
            other[i * 3 + 2] = static_cast<uint8_t>(50 * i + 1);
        }
    }
};

Bytes flcOfThreeFrames() {
    ThreeFrames t;
    Bytes out;
    EXPECT_TRUE(pz4flic::encodeFlc({{"x", t.a.data(), t.palette.data(), 3, 2, 256, 12},
                                    {"x", t.b.data(), t.palette.data(), 3, 2, 256, 12},
                                    {"x", t.a.data(), t.other.data(), 3, 2, 256, 40}},
                                   out));
    return out;
}

TEST_P(FlicPlugin, ReadsEitherVariantWhateverTheName) {
    const std::string ext = GetParam() == std::string("pzflc") ? "flc" : "fli";
    dir_.write("anim." + ext, flcOfThreeFrames());
    // A FLI of two frames: black, then one pixel set by a byte delta.
    dir_.write("old." + ext, file(fliHeader(2, 7), {frame({chunk(13, ByteWriter())}),
                                                    frame({chunk(12, ByteWriter()
                                                                         .le16(199) // last row
                                                                         .le16(1)   // rows
                                                                         .u8({1, 2, 1, 9}))})}));

    ASSERT_TRUE(open("anim." + ext));
    ASSERT_EQ(count(), 3);
    const ThreeFrames t;
    const Locked f0 = lockFrame(0), f2 = lockFrame(2);
    ASSERT_TRUE(f0.ok);
    ASSERT_TRUE(f2.ok);
    EXPECT_EQ(f0.width, 3);
    EXPECT_EQ(f0.height, 2);
    EXPECT_EQ(f0.colorCount, 256);
    EXPECT_EQ(f0.tag, 12);
    EXPECT_EQ(f2.tag, 40);
    ASSERT_NE(f0.palette, nullptr);
    EXPECT_EQ(Bytes(f0.pixels, f0.pixels + 6), t.a);
    EXPECT_EQ(Bytes(f0.palette, f0.palette + 768), t.palette);
    EXPECT_EQ(Bytes(f2.palette, f2.palette + 768), t.other);
    EXPECT_FALSE(lockFrame(3).ok);
    EXPECT_FALSE(lockFrame(-1).ok);

    ASSERT_TRUE(open("old." + ext));
    ASSERT_EQ(count(), 2);
    const Locked second = lockFrame(1);
    ASSERT_TRUE(second.ok);
    EXPECT_EQ(second.width, 320);
    EXPECT_EQ(second.height, 200);
    EXPECT_EQ(second.tag, 10); // 7/70 s
    EXPECT_EQ(second.pixels[2], 9) << "the file's last row is the frame's row 0";
}

INSTANTIATE_TEST_SUITE_P(Modules, FlicPlugin, ::testing::Values("pzflc", "pzfli"));

using FlcPlugin = FlicPlugin;
using FliPlugin = FlicPlugin;

TEST_P(FlcPlugin, ReportsItselfAndBothSaveKinds) {
    EXPECT_EQ(text("GetExtension"), "flc");
    EXPECT_EQ(text("GetDescription"), "FLC Animation");
    EXPECT_FALSE(text("GetDllAuthor").empty());
    EXPECT_FALSE(text("GetDllVersion").empty());
    EXPECT_TRUE(flag("SupportsSaveFrames"));
    EXPECT_TRUE(flag("SupportsSaveAnims"));
}

TEST_P(FlcPlugin, SaveObjectWritesOneFilePerRecordAndSaveAnimOneAnimation) {
    const ThreeFrames t;
    Bytes a = t.a, b = t.b, palette = t.palette;
    std::string one = (dir_.path() / "one.flc").string(), two = (dir_.path() / "two.flc").string();
    SAVE_FRAME second{nullptr, two.data(), b.data(), palette.data(), 3, 2, 256, 4};
    SAVE_FRAME first{&second, one.data(), a.data(), palette.data(), 3, 2, 256, 0};
    ASSERT_TRUE(plugin::truth(saveObject(&first)));
    ASSERT_TRUE(open("two.flc"));
    ASSERT_EQ(count(), 1);
    EXPECT_EQ(lockFrame(0).tag, 4);
    EXPECT_EQ(Bytes(lockFrame(0).pixels, lockFrame(0).pixels + 6), t.b);
    ASSERT_TRUE(open("one.flc"));
    EXPECT_EQ(lockFrame(0).tag, 1) << "no delay: the shortest";

    second.fileName = nullptr; // an animation is named in its first record
    ASSERT_TRUE(plugin::truth(saveAnim(&first)));
    ASSERT_TRUE(open("one.flc"));
    EXPECT_EQ(count(), 2);
    EXPECT_FALSE(plugin::truth(saveObject(nullptr)));
    EXPECT_FALSE(plugin::truth(saveAnim(nullptr)));
}

INSTANTIATE_TEST_SUITE_P(Module, FlcPlugin, ::testing::Values("pzflc"));

TEST_P(FliPlugin, ReportsItselfAndReadsOnly) {
    EXPECT_EQ(text("GetExtension"), "fli");
    EXPECT_EQ(text("GetDescription"), "FLI Animation");
    EXPECT_FALSE(flag("SupportsSaveFrames"));
    EXPECT_FALSE(flag("SupportsSaveAnims"));
    Bytes pixels{1}, palette(768, 0);
    std::string name = (dir_.path() / "out.fli").string();
    SAVE_FRAME only{nullptr, name.data(), pixels.data(), palette.data(), 1, 1, 256, 0};
    EXPECT_FALSE(plugin::truth(saveObject(&only)));
    EXPECT_FALSE(plugin::truth(saveAnim(&only)));
    EXPECT_FALSE(dir_.exists("out.fli"));
}

INSTANTIATE_TEST_SUITE_P(Module, FliPlugin, ::testing::Values("pzfli"));

// Every frame of the open file as the program holds it.
struct Held {
    Bytes pixels, palette;
    int width, height, tag;
};

std::vector<Held> lockAll(cDllManager& manager) {
    std::vector<Held> frames;
    for (int i = 0; i < manager.FrameCount(); ++i) {
        const std::optional<LockedFrame> f = manager.LockFrame(i);
        if (!f || f->palette == nullptr)
            break;
        const size_t n = static_cast<size_t>(f->width) * static_cast<size_t>(f->height);
        frames.push_back({Bytes(f->pixels, f->pixels + n), Bytes(f->palette, f->palette + 768),
                          f->width, f->height, f->tag});
    }
    return frames;
}

// Saves every frame of the open file as one animation through the plug-in of `ext`.
bool convert(cDllManager& manager, const std::string& to, const char* ext) {
    unsigned char grey[768] = {};
    cSaveChain chain(cSaveChain::Kind::Animation, grey);
    for (int i = 0; i < manager.FrameCount(); ++i) {
        const std::optional<LockedFrame> f = manager.LockFrame(i);
        if (!f)
            return false;
        chain.Append(to.c_str(), f->pixels, f->palette, f->width, f->height, f->colorCount, f->tag);
    }
    return manager.SaveAnimWith(ext, chain.First());
}

TEST(FlicConversion, GifToFlcToGifKeepsPixelsPalettesAndDelays) {
    pz4test::TempWorkDir dir;
    dir.addFormat("pzgif");
    dir.addFormat("pzflc");
    cDllManager manager;
    ASSERT_EQ(manager.count, 2);

    // Four 5 x 3 frames: every palette different, the third frame repeating the second.
    std::vector<Bytes> pixels(4), palettes(4);
    const int tags[4] = {7, 12, 12, 250};
    const unsigned char black[768] = {};
    cSaveChain made(cSaveChain::Kind::Animation, black);
    for (size_t k = 0; k < 4; ++k) {
        for (int i = 0; i < 15; ++i)
            pixels[k].push_back(static_cast<uint8_t>((i * 3 + (k == 2 ? 1 : k)) % 200));
        for (int i = 0; i < 768; ++i)
            palettes[k].push_back(static_cast<uint8_t>(i * (k + 1) + 17));
        made.Append("walk.gif", pixels[k].data(), palettes[k].data(), 5, 3, 256, tags[k]);
    }
    ASSERT_TRUE(manager.SaveAnimWith("gif", made.First()));

    ASSERT_TRUE(manager.OpenObject("walk.gif"));
    const std::vector<Held> gif = lockAll(manager);
    ASSERT_EQ(gif.size(), 4u);
    ASSERT_TRUE(convert(manager, "walk.flc", "flc"));
    ASSERT_TRUE(manager.OpenObject("walk.flc"));
    const std::vector<Held> flc = lockAll(manager);
    ASSERT_TRUE(convert(manager, "back.gif", "gif"));
    ASSERT_TRUE(manager.OpenObject("back.gif"));
    const std::vector<Held> back = lockAll(manager);
    manager.CloseObject();

    ASSERT_EQ(flc.size(), 4u);
    ASSERT_EQ(back.size(), 4u);
    for (size_t k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(gif[k].pixels, pixels[k]);
        EXPECT_EQ(gif[k].palette, palettes[k]);
        EXPECT_EQ(gif[k].tag, tags[k]);
        for (const std::vector<Held>* v : {&flc, &back}) {
            const Held& h = (*v)[k];
            EXPECT_EQ(h.width, 5);
            EXPECT_EQ(h.height, 3);
            EXPECT_EQ(h.pixels, pixels[k]);
            EXPECT_EQ(h.palette, palettes[k]);
            EXPECT_EQ(h.tag, tags[k]);
        }
    }
}

} // namespace
