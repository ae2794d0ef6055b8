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

struct Module {
    const char* name;
    const char* ext;
    const char* description;
    bool saves; // the FLI plug-in reads only
};

class FlicPlugin : public ::testing::TestWithParam<Module>, protected plugintest::PluginDriver {
protected:
    void SetUp() override { ASSERT_TRUE(attach(GetParam().name)); }
};

// Three 3 x 2 frames: the first and last show the same pixels, the palette changes
// for the third.
struct ThreeFrames {
    Bytes a{0, 1, 2, 3, 0, 1}, b{3, 3, 3, 2, 2, 2};
    Bytes palette = Bytes(768, 0), other = Bytes(768, 0);
    ThreeFrames() {
        for (size_t i = 0; i < 4; ++i) {
            palette[i * 3] = uint8_t(60 * i);
            other[i * 3 + 2] = uint8_t(50 * i + 1);
        }
    }
};

TEST_P(FlicPlugin, ReadsEitherVariantWhateverTheName) {
    const std::string ext = GetParam().ext;
    const ThreeFrames t;
    Bytes flc;
    ASSERT_TRUE(pz4flic::encodeFlc({{"x", t.a.data(), t.palette.data(), 3, 2, 256, 12},
                                    {"x", t.b.data(), t.palette.data(), 3, 2, 256, 12},
                                    {"x", t.a.data(), t.other.data(), 3, 2, 256, 40}},
                                   flc));
    dir_.write("anim." + ext, flc);
    // A FLI of two frames: black, then one pixel set by a byte delta.
    dir_.write("old." + ext, file(fliHeader(2, 7), {frame({chunk(13, ByteWriter())}),
                                                    frame({chunk(12, ByteWriter()
                                                                         .le16(199) // last row
                                                                         .le16(1)   // rows
                                                                         .u8({1, 2, 1, 9}))})}));

    ASSERT_TRUE(open("anim." + ext));
    ASSERT_EQ(count(), 3);
    const Locked f0 = lockFrame(0), f2 = lockFrame(2);
    ASSERT_TRUE(f0.ok);
    ASSERT_TRUE(f2.ok);
    EXPECT_EQ(f0.width, 3);
    EXPECT_EQ(f0.height, 2);
    EXPECT_EQ(f0.colorCount, 256);
    EXPECT_EQ(f0.tag, 12);
    EXPECT_EQ(f2.tag, 40);
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

TEST_P(FlicPlugin, ReportsItselfAndSavesAsItSays) {
    EXPECT_EQ(text(pz4::plugin::Export::GetExtension), GetParam().ext);
    EXPECT_EQ(text(pz4::plugin::Export::GetDescription), GetParam().description);
    EXPECT_FALSE(text(pz4::plugin::Export::GetDllAuthor).empty());
    EXPECT_FALSE(text(pz4::plugin::Export::GetDllVersion).empty());
    EXPECT_EQ(flag(pz4::plugin::Export::SupportsSaveFrames), GetParam().saves);
    EXPECT_EQ(flag(pz4::plugin::Export::SupportsSaveAnims), GetParam().saves);
    EXPECT_FALSE(plugin::truth(saveObject(nullptr)));
    EXPECT_FALSE(plugin::truth(saveAnim(nullptr)));

    const ThreeFrames t;
    Bytes a = t.a, b = t.b, palette = t.palette;
    const std::string ext = GetParam().ext;
    std::string one = (dir_.path() / ("one." + ext)).string();
    std::string two = (dir_.path() / ("two." + ext)).string();
    SAVE_FRAME second{nullptr, two.data(), b.data(), palette.data(), 3, 2, 256, 4};
    SAVE_FRAME first{&second, one.data(), a.data(), palette.data(), 3, 2, 256, 0};
    if (!GetParam().saves) {
        EXPECT_FALSE(plugin::truth(saveObject(&first)));
        EXPECT_FALSE(plugin::truth(saveAnim(&first)));
        EXPECT_FALSE(dir_.exists("one." + ext));
        return;
    }
    // SaveObject: one file per record.
    ASSERT_TRUE(plugin::truth(saveObject(&first)));
    ASSERT_TRUE(open("two.flc"));
    ASSERT_EQ(count(), 1);
    EXPECT_EQ(lockFrame(0).tag, 4);
    EXPECT_EQ(Bytes(lockFrame(0).pixels, lockFrame(0).pixels + 6), t.b);
    ASSERT_TRUE(open("one.flc"));
    EXPECT_EQ(lockFrame(0).tag, 1) << "no delay: the shortest";
    // SaveAnim: one animation, named in its first record.
    second.fileName = nullptr;
    ASSERT_TRUE(plugin::truth(saveAnim(&first)));
    ASSERT_TRUE(open("one.flc"));
    EXPECT_EQ(count(), 2);
}

INSTANTIATE_TEST_SUITE_P(Modules, FlicPlugin,
                         ::testing::Values(Module{"pzflc", "flc", "FLC Animation", true},
                                           Module{"pzfli", "fli", "FLI Animation", false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct Held {
    Bytes pixels, palette;
    int width, height, tag;
};

// Every frame of `name` as the program holds it; saved again as one animation `to`
// through the plug-in of its extension, when `to` is given.
std::vector<Held> holdAndSave(cDllManager& manager, const char* name, const std::string& to = "") {
    std::vector<Held> frames;
    EXPECT_TRUE(manager.OpenObject(name));
    const unsigned char grey[768] = {};
    cSaveChain chain(cSaveChain::Kind::Animation, grey);
    for (int i = 0; i < manager.FrameCount(); ++i) {
        const std::optional<LockedFrame> f = manager.LockFrame(i);
        if (!f || f->palette == nullptr)
            break;
        const size_t n = size_t(f->width) * size_t(f->height);
        frames.push_back({Bytes(f->pixels, f->pixels + n), Bytes(f->palette, f->palette + 768),
                          f->width, f->height, f->tag});
        chain.Append(to.c_str(), f->pixels, f->palette, f->width, f->height, f->colorCount, f->tag);
    }
    if (!to.empty()) {
        EXPECT_TRUE(manager.SaveAnimWith(to.substr(to.rfind('.') + 1).c_str(), chain.First()));
    }
    return frames;
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
            pixels[k].push_back(uint8_t((i * 3 + (k == 2 ? 1 : k)) % 200));
        for (int i = 0; i < 768; ++i)
            palettes[k].push_back(uint8_t(i * (k + 1) + 17));
        made.Append("walk.gif", pixels[k].data(), palettes[k].data(), 5, 3, 256, tags[k]);
    }
    ASSERT_TRUE(manager.SaveAnimWith("gif", made.First()));
    const std::vector<Held> gif = holdAndSave(manager, "walk.gif", "walk.flc");
    const std::vector<Held> flc = holdAndSave(manager, "walk.flc", "back.gif");
    const std::vector<Held> back = holdAndSave(manager, "back.gif");
    manager.CloseObject();

    for (const std::vector<Held>* v : {&gif, &flc, &back}) {
        SCOPED_TRACE(v == &gif ? "GIF" : v == &flc ? "FLC" : "GIF again");
        ASSERT_EQ(v->size(), 4u);
        for (size_t k = 0; k < 4; ++k) {
            const Held& h = (*v)[k];
            EXPECT_EQ(h.width, 5) << k;
            EXPECT_EQ(h.height, 3) << k;
            EXPECT_EQ(h.pixels, pixels[k]) << k;
            EXPECT_EQ(h.palette, palettes[k]) << k;
            EXPECT_EQ(h.tag, tags[k]) << k;
        }
    }
}

} // namespace
