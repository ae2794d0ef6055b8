// The built pzgif module, driven through its twelve exports as the program does.

#include "GifTestColours.h"
#include "GifTestFile.h"
#include "PluginTestKit.h"
#include "plugins/DllManager.h"
#include "pz4/PluginContract.h"

#include <TempWorkDir.h>
#include <gtest/gtest.h>

#include <cstring>
#include <optional>

using namespace giftest;
namespace plugin = pz4::plugin;

namespace {

class GifPlugin : public ::testing::Test, protected plugintest::PluginDriver {
protected:
    void SetUp() override { ASSERT_TRUE(attach("pzgif")); }
};

TEST_F(GifPlugin, ReportsItselfAndBothSaveKinds) {
    EXPECT_EQ(text(pz4::plugin::Export::GetExtension), "gif");
    EXPECT_EQ(text(pz4::plugin::Export::GetDescription), "GIF Animation");
    EXPECT_FALSE(text(pz4::plugin::Export::GetDllAuthor).empty());
    EXPECT_FALSE(text(pz4::plugin::Export::GetDllVersion).empty());
    EXPECT_TRUE(flag(pz4::plugin::Export::SupportsSaveFrames));
    EXPECT_TRUE(flag(pz4::plugin::Export::SupportsSaveAnims));
}

TEST_F(GifPlugin, SavedAnimationLoadsWithStableBuffers) {
    // Two 3x2 frames; the chain and its buffers are gone once SaveAnim returns.
    {
        std::vector<uint8_t> a{0, 1, 2, 3, 0, 1}, b{3, 3, 3, 2, 2, 2};
        std::vector<uint8_t> palette(768, 0);
        for (int i = 0; i < 4; ++i)
            palette[static_cast<size_t>(i) * 3] = static_cast<uint8_t>(60 * i);
        std::string name = (dir_.path() / "walk.gif").string();
        SAVE_FRAME second{nullptr, nullptr, b.data(), palette.data(), 3, 2, 256, 0};
        SAVE_FRAME first{&second, name.data(), a.data(), palette.data(), 3, 2, 256, 12};
        ASSERT_TRUE(plugin::truth(saveAnim(&first)));
    }
    ASSERT_TRUE(open("walk.gif"));
    ASSERT_EQ(count(), 2);
    const Locked f0 = lockFrame(0), f1 = lockFrame(1);
    ASSERT_TRUE(f0.ok);
    ASSERT_TRUE(f1.ok);
    EXPECT_EQ(f0.width, 3);
    EXPECT_EQ(f0.height, 2);
    EXPECT_EQ(f0.colorCount, 256);
    EXPECT_EQ(f0.tag, 12);
    EXPECT_EQ(f1.tag, 10);
    ASSERT_NE(f0.palette, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(f0.pixels, f0.pixels + 6),
              (std::vector<uint8_t>{0, 1, 2, 3, 0, 1}));
    EXPECT_EQ(f0.palette[9], 180);

    const std::vector<uint8_t> before(f1.pixels, f1.pixels + 6);
    const Locked again = lockFrame(1);
    EXPECT_EQ(again.pixels, f1.pixels);
    EXPECT_EQ(again.palette, f1.palette);
    EXPECT_EQ(std::vector<uint8_t>(again.pixels, again.pixels + 6), before);

    EXPECT_FALSE(lockFrame(2).ok);
    EXPECT_FALSE(lockFrame(-1).ok);
}

TEST_F(GifPlugin, FileWithoutTablesLocksWithoutPalette) {
    GifFile f;
    f.screen(2, 1).image(0, 0, 2, 1, {1, 2}).trailer();
    dir_.write("plain.gif", f.bytes());
    ASSERT_TRUE(open("plain.gif"));
    const Locked l = lockFrame(0);
    ASSERT_TRUE(l.ok);
    EXPECT_EQ(l.palette, nullptr);
}

TEST_F(GifPlugin, LoadingReplacesTheOpenFileAndFailureLeavesNone) {
    GifFile one, three;
    one.screen(1, 1, {kRed, kBlue}).image(0, 0, 1, 1, {1}).trailer();
    three.screen(1, 1, {kRed, kBlue});
    for (int i = 0; i < 3; ++i)
        three.image(0, 0, 1, 1, {0});
    three.trailer();
    dir_.write("one.gif", one.bytes());
    dir_.write("three.gif", three.bytes());
    dir_.write("junk.gif", std::string("GIF89a but nothing else"));

    ASSERT_TRUE(open("three.gif"));
    EXPECT_EQ(count(), 3);
    ASSERT_TRUE(open("one.gif"));
    EXPECT_EQ(count(), 1);
    EXPECT_FALSE(open("junk.gif"));
    EXPECT_EQ(count(), 0);
    EXPECT_FALSE(lockFrame(0).ok);
    EXPECT_FALSE(open("missing.gif"));
    ASSERT_TRUE(open("one.gif"));
    unload();
    EXPECT_EQ(count(), 0);
}

TEST_F(GifPlugin, SaveObjectWritesOneFilePerRecord) {
    std::vector<uint8_t> pixels{1, 0, 0, 1};
    std::vector<uint8_t> palette(768, 200);
    std::string a = (dir_.path() / "a.gif").string(), b = (dir_.path() / "b.gif").string();
    SAVE_FRAME second{nullptr, b.data(), pixels.data(), palette.data(), 2, 2, 2, 4};
    SAVE_FRAME first{&second, a.data(), pixels.data(), palette.data(), 2, 2, 2, 0};
    ASSERT_TRUE(plugin::truth(saveObject(&first)));
    ASSERT_TRUE(open("b.gif"));
    EXPECT_EQ(count(), 1);
    EXPECT_EQ(lockFrame(0).tag, 4);
    ASSERT_TRUE(open("a.gif"));
    EXPECT_EQ(lockFrame(0).colorCount, 2);

    EXPECT_FALSE(plugin::truth(saveObject(nullptr)));
    EXPECT_FALSE(plugin::truth(saveAnim(nullptr)));
}

// The same through the program's plug-in manager: found by the scan, chosen by the
// path's extension, saved through by extension.
TEST(GifPluginManager, OpensAndSavesGifFiles) {
    pz4test::TempWorkDir dir;
    dir.addFormat("pzgif");
    cDllManager manager;
    ASSERT_EQ(manager.count, 1);
    EXPECT_STREQ(manager.PluginDescription(0), "GIF Animation");
    std::vector<uint8_t> pixels{2, 1, 0, 3};
    std::vector<uint8_t> palette(768, 77);
    char name[] = "SPRITE.GIF";
    SAVE_FRAME frame{nullptr, name, pixels.data(), palette.data(), 2, 2, 256, 3};
    ASSERT_TRUE(manager.SaveAnimWith("gif", &frame));
    ASSERT_TRUE(manager.OpenObject("SPRITE.GIF"));
    ASSERT_EQ(manager.FrameCount(), 1);
    const std::optional<LockedFrame> f = manager.LockFrame(0);
    ASSERT_TRUE(f.has_value());
    EXPECT_EQ(std::vector<uint8_t>(f->pixels, f->pixels + 4), pixels);
    EXPECT_EQ(f->tag, 3);
    manager.CloseObject();
}

} // namespace
