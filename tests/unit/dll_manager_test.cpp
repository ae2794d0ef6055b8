// The plug-in manager against the fixture plug-ins of tests/plugins: what the
// scan records, which plug-in a file goes to, the open/close and save
// discipline, and how misbehaving answers are contained.
#include "TempWorkDir.h"
#include "plugins/DllManager.h"
#include "plugins/DynamicLibrary.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

using pz4test::TempWorkDir;

namespace {

std::string so(const std::string& stem) {
    return pz4test::libraryFileName(stem);
}

// Whether the process still holds the library of that file in the working directory.
bool held(const std::string& stem) {
    return DynamicLibrary::openIfLoaded(so(stem)) != nullptr;
}

std::vector<std::string> logOf(const TempWorkDir& dir, const std::string& stem) {
    std::istringstream in(dir.read(stem + ".log"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// A copy of the full fixture under `stem` claiming `extension`, with extra settings.
void addFull(const TempWorkDir& dir, const std::string& stem, const std::string& extension,
             const std::string& settings = {}) {
    dir.addFixture("pzfull", so(stem));
    dir.write(stem + ".cfg", "extension=" + extension + "\n" + settings);
}

} // namespace

// ---- The scan -------------------------------------------------------------

TEST(DllManagerScan, EmptyDirectoryHasNoPlugins) {
    TempWorkDir dir;
    cDllManager m;
    EXPECT_EQ(m.count, 0);
    EXPECT_EQ(m.PluginFileName(0), nullptr);
    EXPECT_EQ(m.FindByExtension("grp"), nullptr);
    EXPECT_FALSE(m.OpenObject("walk.grp"));
    EXPECT_EQ(m.FrameCount(), -1);
}

TEST(DllManagerScan, RecordsWhatEachPluginReports) {
    TempWorkDir dir;
    addFull(dir, "pzone", "one", "author=Ann\nversion=2.5\ndescription=One format\n");
    addFull(dir, "pztwo", "two", "saves=0\n");
    cDllManager m;
    ASSERT_EQ(m.count, 2);
    EXPECT_STREQ(m.PluginFileName(0), so("pzone").c_str());
    EXPECT_STREQ(m.PluginAuthor(0), "Ann");
    EXPECT_STREQ(m.PluginVersion(0), "2.5");
    EXPECT_STREQ(m.PluginExtension(0), "one");
    EXPECT_STREQ(m.PluginDescription(0), "One format");
    EXPECT_TRUE(m.PluginSavesFrames(0));
    EXPECT_TRUE(m.PluginSavesAnims(0));
    EXPECT_EQ(m.PluginLoadError(0), nullptr);
    EXPECT_STREQ(m.PluginFileName(1), so("pztwo").c_str());
    EXPECT_FALSE(m.PluginSavesFrames(1));
    EXPECT_FALSE(m.PluginSavesAnims(1));
    for (int i : {-1, 2}) {
        EXPECT_EQ(m.PluginFileName(i), nullptr);
        EXPECT_EQ(m.PluginAuthor(i), nullptr);
        EXPECT_FALSE(m.PluginSavesFrames(i));
    }
}

TEST(DllManagerScan, HoldsNoLibraryAfterwards) {
    TempWorkDir dir;
    addFull(dir, "pzone", "one");
    dir.addFixture("pznoinfo");
    cDllManager m;
    ASSERT_EQ(m.count, 2);
    EXPECT_FALSE(held("pzone"));
    EXPECT_FALSE(held("pznoinfo"));
}

// ---- Opening and closing --------------------------------------------------

TEST(DllManagerOpen, OpensThroughThePluginAndCloseReleasesIt) {
    TempWorkDir dir;
    addFull(dir, "pzone", "grp");
    cDllManager m;
    ASSERT_TRUE(m.OpenObject("/data/walk.grp"));
    EXPECT_TRUE(held("pzone"));
    EXPECT_EQ(m.FrameCount(), 3);
    m.CloseObject();
    EXPECT_FALSE(held("pzone"));
    EXPECT_EQ(m.current(), nullptr);
    EXPECT_EQ(logOf(dir, "pzone"),
              (std::vector<std::string>{"LoadObject /data/walk.grp", "UnloadObject"}));
}
