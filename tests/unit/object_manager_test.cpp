#include "context/IniManager.h"
#include "context/ObjectManager.h"
#include "palette/PalManager.h"
#include "palette/TRNManager.h"
#include "plugins/DllManager.h"

#include <TempWorkDir.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

const char* const kKeyOrder[] = {"LiX", "LiY", "AnX",  "AnY",  "AnWX", "AnWY", "ViWX", "ViWY",
                                 "PaX", "PaY", "TRNX", "TRNY", "MaX",  "MaY",  "InX",  "InY"};

// Position lines as the program appends them, in its key order, for the keys
// not in `skip`; a key in `values` gets that text, every other one "00000".
std::string positionLines(const std::map<std::string, std::string>& values,
                          const std::set<std::string>& skip = {}) {
    std::string text;
    for (const char* key : kKeyOrder) {
        if (skip.count(key) != 0)
            continue;
        const auto v = values.find(key);
        text += std::string(key) + "=" + (v != values.end() ? v->second : "00000") + "\r\n";
    }
    return text;
}

TEST(ObjectManager, FirstRunStartsWithDefaultsAndWritesTheSixteenKeys) {
    pz4test::TempWorkDir dir;
    {
        cObjectManager om;
        ASSERT_NE(om.dllManager, nullptr);
        EXPECT_EQ(om.dllManager->count, 0);
        EXPECT_STREQ(om.trnManager->GetName(), "Default (1 to 1 translation)");
        EXPECT_EQ(om.palManager->GetName(), nullptr);
        EXPECT_EQ(om.palManager->colors[767], 64);
        EXPECT_EQ(om.scriptManager, nullptr);
        EXPECT_EQ(om.animSpeed, 10);
        EXPECT_EQ(om.animFrom, 0);
        EXPECT_EQ(om.animTo, 0);
        EXPECT_TRUE(om.restorePositions);
        EXPECT_EQ(om.fileName.text(), nullptr);
        EXPECT_EQ(om.frameCount, 0);
        EXPECT_EQ(om.LiX + om.InY + om.MaX + om.TRNY, 0);
        om.MaX = 321;
        om.AnWY = -20;
        EXPECT_FALSE(dir.exists("pz.ini")); // nothing is written while the program runs
    }
    EXPECT_EQ(dir.read("pz.ini"), positionLines({{"AnWY", "-00020"}, {"MaX", "00321"}}));
    EXPECT_FALSE(dir.exists("pztemp.ini"));
}

TEST(ObjectManager, ReadsPositionsAndPaletteAndRewritesInPlace) {
    pz4test::TempWorkDir dir;
    std::vector<unsigned char> pal(768);
    for (size_t i = 0; i < pal.size(); ++i)
        pal[i] = static_cast<unsigned char>(i / 3);
    std::filesystem::create_directory(dir.path() / "PaX");
    dir.write("PaX/grey.pal", pal);
    const std::string palPath = (dir.path() / "PaX" / "grey.pal").string();
    // Hand-written: comment, unknown key, bare line feeds, a palette path that
    // names a key, the position keys out of order and the last line unterminated.
    const std::string before = "// my settings\r\n"
                               "DefaultPalette=" +
                               palPath +
                               "\n"
                               "Colour=blue\r\n"
                               "PaX=00300\r\n"
                               "InY=-00020\r\n"
                               "ViWX=77\n"
                               "LiX=00120";
    dir.write("pz.ini", before);
    {
        cObjectManager om;
        EXPECT_EQ(om.LiX, 120);
        EXPECT_EQ(om.PaX, 300);
        EXPECT_EQ(om.ViWX, 77);
        EXPECT_EQ(om.InY, 0); // negatives come back as 0
        EXPECT_EQ(om.AnX, 0);
        ASSERT_NE(om.palManager->GetName(), nullptr);
        EXPECT_EQ(std::string(om.palManager->GetName()), palPath);
        unsigned char r = 0, g = 0, b = 0;
        ASSERT_TRUE(om.palManager->GetEntry(200, r, g, b));
        EXPECT_EQ(r + g + b, 3 * 200);
        om.LiX = 5;
    }
    const std::string after = dir.read("pz.ini");
    const std::string expected = "// my settings\r\n"
                                 "DefaultPalette=" +
                                 palPath +
                                 "\n"
                                 "Colour=blue\r\n"
                                 "PaX=00300\r\n"
                                 "InY=00000\r\n"
                                 "ViWX=00077\r\n"
                                 "LiX=00005\r\n" +
                                 positionLines({}, {"PaX", "InY", "ViWX", "LiX"});
    EXPECT_EQ(after, expected);
}

// Zoom lines as a user may leave them: only a plain factor from 1 to 8 counts.
TEST(ObjectManager, ZoomSettingsReadAsAFactorFrom1To8OrElse1) {
    struct Case {
        const char* line;
        int zoom;
    } cases[] = {
        {"ViZoom=00003\r\n", 3},   {"ViZoom=8\r\n", 8},
        {"ViZoom=00001\r\n", 1},   {"ViZoom=00009\r\n", 1},
        {"ViZoom=00000\r\n", 1},   {"ViZoom=-00002\r\n", 1},
        {"ViZoom=3x\r\n", 1},      {"ViZoom=x3\r\n", 1},
        {"ViZoom=\r\n", 1},        {"ViZoom=99999999999999999999\r\n", 1},
        {"ViZoom= 4 \r\n", 4},     {"ViZoom=0000000000006\r\n", 6},
        {"ViZoom=5\n", 5},         {"// ViZoom=00004\r\n", 1},
        {"ViZoomed=00004\r\n", 1},
    };
    for (const Case& c : cases) {
        pz4test::TempWorkDir dir;
        // The same value under the player's key, and a valid one for the other
        // window that must not be disturbed by it.
        std::string player = c.line;
        player.replace(0, 2, "An");
        dir.write("pz.ini", std::string(c.line) + player);
        cObjectManager om;
        EXPECT_EQ(om.ViZoom, c.zoom) << c.line;
        EXPECT_EQ(om.AnZoom, c.zoom) << player;
    }
}

TEST(ObjectManager, ZoomSettingsAreWrittenAndReadBackLeavingOtherLinesAlone) {
    pz4test::TempWorkDir dir;
    const std::string before = "// zoomed\r\nColour=blue\r\nAnZoom=00002\r\nLiX=00120\r\n";
    dir.write("pz.ini", before);
    {
        cObjectManager om;
        EXPECT_EQ(om.ViZoom, 1);
        EXPECT_EQ(om.AnZoom, 2);
        om.ViZoom = 7;
        om.AnZoom = 1;
    }
    EXPECT_EQ(dir.read("pz.ini"), "// zoomed\r\nColour=blue\r\nAnZoom=00001\r\nLiX=00120\r\n" +
                                      positionLines({}, {"LiX"}) + "ViZoom=00007\r\n");
    {
        cObjectManager om;
        EXPECT_EQ(om.ViZoom, 7);
        EXPECT_EQ(om.AnZoom, 1);
        om.AnZoom = 8;
        om.ViZoom = 12; // out of range, never set by a window: written as the default
    }
    {
        cObjectManager om;
        EXPECT_EQ(om.ViZoom, 1);
        EXPECT_EQ(om.AnZoom, 8);
    }
    EXPECT_FALSE(dir.exists("pztemp.ini"));
}

TEST(ObjectManager, ARunThatNeverZoomsAddsNoZoomLines) {
    pz4test::TempWorkDir dir;
    { cObjectManager om; }
    EXPECT_EQ(dir.read("pz.ini"), positionLines({}));
}

TEST(ObjectManager, PaletteFileThatCannotBeReadGivesTheGreyDefault) {
    // A folder is no palette: unnamed and grey, as where opening a folder fails.
    for (const char* name : {"missing.pal", "folder.pal"}) {
        pz4test::TempWorkDir dir;
        std::filesystem::create_directory(dir.path() / "folder.pal");
        dir.write("pz.ini", std::string("DefaultPalette=") + name + "\r\n");
        cObjectManager om;
        EXPECT_EQ(om.palManager->GetName(), nullptr) << name;
        EXPECT_EQ(om.palManager->colors[0], 64) << name;
    }
}

// pz.ini of the working folder, where there is one, else the user's settings
// folder, made when the program first writes there; a bare DefaultPalette name
// is read from beside the settings.
TEST(SettingsPlace, AWorkingFolderCopyStaysElseTheUsersFolderHoldsThem) {
    EXPECT_EQ(SettingsFilePath(true, "/home/u/.config"), "pz.ini");
    EXPECT_EQ(SettingsFilePath(false, "/home/u/.config"), "/home/u/.config/pz4/pz.ini");
    EXPECT_EQ(SettingsFilePath(false, ""), "pz.ini");

    pz4test::TempWorkDir dir;
    const std::filesystem::path config = dir.path() / "home-config";
    pz4test::setEnvironment("XDG_CONFIG_HOME", config.string());
    const std::filesystem::path ini = config / "pz4" / "pz.ini";
    {
        cObjectManager om;
        om.LiX = 7;
    }
    EXPECT_FALSE(dir.exists("pz.ini"));
    EXPECT_EQ(pz4test::readFileBytes(ini).size(), positionLines({{"LiX", "00007"}}).size());
    std::string palette(768, '\0');
    palette[0] = 9;
    dir.write("home-config/pz4/walk.pal", palette);
    dir.write("home-config/pz4/pz.ini", "DefaultPalette=walk.pal\r\n");
    {
        cObjectManager om;
        EXPECT_EQ(om.palManager->colors[0], 9);
    }
    // A pz.ini in the working folder wins, and the other is left alone.
    dir.write("pz.ini", "LiX=00003\r\n");
    {
        cObjectManager om;
        EXPECT_EQ(om.LiX, 3);
    }
    EXPECT_TRUE(dir.read("home-config/pz4/pz.ini").starts_with("DefaultPalette=walk.pal\r\n"));
}

class ObjectManagerFiles : public testing::Test {
protected:
    void SetUp() override {
        dir.addFixture("pzfull");
        dir.write("pzfull.cfg", "frames=5\n");
    }
    std::string log() const { return dir.read("pzfull.log"); }

    pz4test::TempWorkDir dir;
};

TEST_F(ObjectManagerFiles, OpenAndCloseThroughThePlugin) {
    cObjectManager om;
    ASSERT_EQ(om.dllManager->count, 1);
    ASSERT_TRUE(om.OpenFile("walk.ful"));
    EXPECT_STREQ(om.fileName.c_str(), "walk.ful");
    EXPECT_EQ(om.frameCount, 5);
    EXPECT_EQ(log(), "LoadObject walk.ful\n");

    // A second file closes the first.
    ASSERT_TRUE(om.OpenFile("run.FUL"));
    EXPECT_STREQ(om.fileName.c_str(), "run.FUL");
    EXPECT_EQ(log(), "LoadObject walk.ful\nUnloadObject\nLoadObject run.FUL\n");

    om.CloseFile();
    EXPECT_EQ(om.fileName.text(), nullptr);
    EXPECT_EQ(om.frameCount, 0);
    EXPECT_EQ(log(), "LoadObject walk.ful\nUnloadObject\nLoadObject run.FUL\nUnloadObject\n");
}

TEST_F(ObjectManagerFiles, FailedOpenLeavesNoFileOpen) {
    cObjectManager om;
    ASSERT_TRUE(om.OpenFile("walk.ful"));
    EXPECT_FALSE(
        om.OpenFile("walk.xyz")); // no plug-in for it: the open file is closed all the same
    EXPECT_EQ(om.fileName.text(), nullptr);
    EXPECT_EQ(om.frameCount, 0);
    dir.write("pzfull.cfg", "load=fail\n");
    EXPECT_FALSE(om.OpenFile("walk.ful"));
    EXPECT_EQ(om.fileName.text(), nullptr);
    EXPECT_EQ(om.frameCount, 0);
    EXPECT_EQ(log(), "LoadObject walk.ful\nUnloadObject\nLoadObject walk.ful\n");
}

// Reloading passes the open file's own name, which closing the file frees.
TEST_F(ObjectManagerFiles, ReopensTheOpenFileByItsOwnName) {
    cObjectManager om;
    ASSERT_TRUE(om.OpenFile("walk.ful"));
    ASSERT_TRUE(om.OpenFile(om.fileName.c_str()));
    EXPECT_STREQ(om.fileName.c_str(), "walk.ful");
    EXPECT_EQ(om.frameCount, 5);
    EXPECT_EQ(log(), "LoadObject walk.ful\nUnloadObject\nLoadObject walk.ful\n");
}

TEST_F(ObjectManagerFiles, DestructionClosesTheOpenFileFirst) {
    {
        cObjectManager om;
        ASSERT_TRUE(om.OpenFile("walk.ful"));
    }
    EXPECT_EQ(log(), "LoadObject walk.ful\nUnloadObject\n");
    EXPECT_TRUE(dir.exists("pz.ini"));
}

} // namespace
