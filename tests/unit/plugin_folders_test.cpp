// Where plug-ins come from: the folder order, which keeps a library left beside
// an opened file from ever loading, and the first folder winning a name.
#include "TempWorkDir.h"
#include "plugins/DllManager.h"
#include "plugins/ProgramFolders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

TEST(PluginFolders, PathThenUserThenInstalledThenAPortableCopysOwnFolder) {
    const std::string user = "/home/u/.local/share";
    const std::string installed = "/opt/pz4/lib/pz4/plugins";
    const struct {
        const char* path; // PZ4_PLUGIN_PATH
        std::string exe, cwd;
        std::vector<std::string> folders;
    } cases[] = {
        {nullptr,
         "/opt/pz4/bin",
         "/home/u/Downloads",
         {user + "/pz4/plugins", installed}}, // the downloads folder is never searched
        {"/a:/b", "/opt/pz4/bin", "/w", {"/a", "/b", user + "/pz4/plugins", installed}},
        {"::rel/p:", "/opt/pz4/bin", "/w", {"/w/rel/p", user + "/pz4/plugins", installed}},
        // A portable copy started in its own folder keeps its plug-ins beside it.
        {nullptr, "/p/pz4", "/p/pz4", {user + "/pz4/plugins", installed, "/p/pz4"}},
        // A folder named twice is searched once, where it first comes.
        {"/opt/pz4/lib/pz4/plugins:/a",
         "/opt/pz4/bin",
         "/w",
         {installed, "/a", user + "/pz4/plugins"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pluginFolders(c.path, user, installed, c.exe, c.cwd), c.folders)
            << (c.path ? c.path : "(unset)") << " exe " << c.exe << " cwd " << c.cwd;
    EXPECT_EQ(pluginFolders(nullptr, "", "", "", "/w"), std::vector<std::string>{});
}

TEST(PluginFolders, AFileNameFoundAgainLaterIsLoadedFromTheFirstFolder) {
    pz4test::TempWorkDir dir;
    const fs::path first = dir.path() / "first", second = dir.path() / "second";
    fs::create_directories(first);
    fs::create_directories(second);
    const std::string so = pz4test::libraryFileName("pzone");
    fs::copy_file(fs::path(PZ4_FIXTURE_DIR) / pz4test::libraryFileName("pzfull"), first / so);
    fs::copy_file(fs::path(PZ4_FIXTURE_DIR) / pz4test::libraryFileName("pzfull"), second / so);
    fs::copy_file(fs::path(PZ4_FIXTURE_DIR) / pz4test::libraryFileName("pznoinfo"),
                  second / pz4test::libraryFileName("pztwo"));
    const cDllManager m({first.string(), second.string()});
    ASSERT_EQ(m.count, 2);
    EXPECT_STREQ(m.PluginFileName(0), so.c_str());
    EXPECT_EQ(m.PluginFolder(0), first.string());
    EXPECT_EQ(m.PluginFolder(1), second.string());
}

} // namespace
