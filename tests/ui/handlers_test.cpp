#include "UiTestSupport.h"

#include "TempWorkDir.h"
#include "context/ObjectManager.h"
#include "platform/ScriptedPrompts.h"
#include "plugins/DllManager.h"
#include "plugins/ui/OpenObjectHandler.h"
#include "plugins/ui/SaveObjectHandler.h"

#include <gtest/gtest.h>

namespace {

const std::string kAll = "all Files (*.*)|*.*";

class HandlersTest : public ::testing::Test {
protected:
    // Plug-in `stem` (a copy of the ui fixture) with the given settings lines.
    void plugin(const std::string& stem, const std::string& cfg) {
        dir.addFixture("pzuifix", pz4test::libraryFileName(stem));
        dir.write(stem + ".cfg", cfg);
    }
    void start() { objects = std::make_unique<cObjectManager>(); }

    pz4test::TempWorkDir dir;
    std::unique_ptr<cObjectManager> objects;
    ScriptedPrompts prompts;
    FileDialogState state;
};

TEST_F(HandlersTest, WithoutPlugInsOnlyAllFilesIsOfferedAndNoExtensionChosen) {
    start();
    EXPECT_EQ(BuildFilter(*objects->dllManager, FileKind::Any), kAll);
    EXPECT_EQ(BuildFilter(*objects->dllManager, FileKind::Frames), kAll);
    prompts.answer("/out/walk.pcx", 1);
    const cSaveObjectHandler save(nullptr, objects.get(), FileKind::Frames, prompts, state);
    EXPECT_STREQ(save.GetPath(), "/out/walk");
    EXPECT_EQ(save.GetChosenExtension(), nullptr);
}

TEST_F(HandlersTest, FiltersListThePlugInsOfTheirKindInScanOrder) {
    plugin("pzaaa", "extension=aaa\ndescription=Alpha\nsaveframes=1\nsaveanims=0\n");
    plugin("pzbbb", "extension=bbb\ndescription=Beta\nsaveframes=1\nsaveanims=1\n");
    plugin("pzccc", "extension=ccc\ndescription=Gamma\nsaveframes=0\nsaveanims=0\n");
    dir.write("pzbroken.so", "not a library");
    start();
    const cDllManager& plugins = *objects->dllManager;
    ASSERT_EQ(plugins.count, 4);
    EXPECT_EQ(BuildFilter(plugins, FileKind::Any),
              kAll + "|Alpha (*.aaa)|*.aaa|Beta (*.bbb)|*.bbb| (*.)|*.|Gamma (*.ccc)|*.ccc");
    EXPECT_EQ(BuildFilter(plugins, FileKind::Frames),
              kAll + "|Alpha (*.aaa)|*.aaa|Beta (*.bbb)|*.bbb");
    EXPECT_EQ(BuildFilter(plugins, FileKind::Anim), kAll + "|Beta (*.bbb)|*.bbb");

    struct Case {
        FileKind kind;
        int entry;
        const char* ext;
    } cases[] = {
        {FileKind::Frames, 1, nullptr}, {FileKind::Frames, 2, "aaa"}, {FileKind::Frames, 3, "bbb"},
        {FileKind::Frames, 4, nullptr}, {FileKind::Anim, 2, "bbb"},   {FileKind::Anim, 3, nullptr},
        {FileKind::Frames, 0, nullptr},
    };
    for (const Case& c : cases) {
        const char* got = ExtensionOfEntry(plugins, c.kind, c.entry);
        if (c.ext)
            EXPECT_STREQ(got, c.ext) << c.entry;
        else
            EXPECT_EQ(got, nullptr) << c.entry;
    }
}

TEST_F(HandlersTest, SaveCutsAThreeLetterOrTheEntrysOwnExtensionAndTakesTheEntrysPlugIn) {
    plugin("pzaaa", "extension=aaa\n");
    plugin("pzbbb", "extension=bbb\n");
    plugin("pzwebp", "extension=webp\n");
    start();
    struct Case {
        std::string typed;
        int entry;
        const char* path;
        const char* ext;
    } cases[] = {
        {"C:\\out\\walk.pcx", 2, "C:\\out\\walk", "aaa"},
        {"C:\\out\\walk.tiff", 2, "C:\\out\\walk.tiff", "aaa"},
        {"C:\\out\\walk", 3, "C:\\out\\walk", "bbb"},
        {"/out/walk.bbb", 2, "/out/walk", "aaa"}, // the entry decides, not the name
        {"/out/a.b", 3, "/out/a.b", "bbb"},
        // The chosen plug-in's own longer extension goes too, or it would be doubled.
        {"/out/walk.WebP", 4, "/out/walk", "webp"},
        {"/out/walk.tiff", 4, "/out/walk.tiff", "webp"},
    };
    for (const Case& c : cases) {
        prompts.answer(c.typed, c.entry);
        const cSaveObjectHandler save(nullptr, objects.get(), FileKind::Frames, prompts, state);
        EXPECT_STREQ(save.GetPath(), c.path) << c.typed;
        EXPECT_STREQ(save.GetChosenExtension(), c.ext) << c.typed;
    }
}

TEST_F(HandlersTest, CancelYieldsNothingAndTheDialogsRememberTheLastChoice) {
    plugin("pzaaa", "extension=aaa\n");
    start();
    prompts.answer("/data/walk.aaa", 2);
    prompts.cancel();
    {
        const cOpenObjectHandler open(nullptr, objects.get(), prompts, state);
        EXPECT_STREQ(open.GetPath(), "/data/walk.aaa");
    }
    const cOpenObjectHandler again(nullptr, objects.get(), prompts, state);
    EXPECT_EQ(again.GetPath(), nullptr);
    ASSERT_EQ(prompts.dialogs.size(), 2u);
    EXPECT_FALSE(prompts.dialogs[0].save);
    EXPECT_EQ(prompts.dialogs[0].preselected, 1);
    EXPECT_EQ(prompts.dialogs[1].preselected, 2);
    EXPECT_EQ(prompts.dialogs[1].lastPath, "/data/walk.aaa");

    FileDialogState saveState;
    const cSaveObjectHandler save(nullptr, objects.get(), FileKind::Frames, prompts, saveState);
    EXPECT_EQ(save.GetPath(), nullptr);
    EXPECT_EQ(save.GetChosenExtension(), nullptr);
    EXPECT_TRUE(prompts.dialogs.back().save);
}

} // namespace
