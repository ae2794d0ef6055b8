// The loader wrapper and the plug-in directory listing.
#include "TempWorkDir.h"
#include "plugins/DynamicLibrary.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using pz4test::TempWorkDir;

#ifndef _WIN32
TEST(PluginListing, MatchesTheMaskCaseInsensitivelyAndSortsByName) {
    TempWorkDir dir;
    for (const char* name : {"pzb.so", "PZA.SO", "pza.so", "pzC.So", "pz.so", "xpz.so", "apz.so",
                             "pzd.so.1", "pzd.sox", "pze.txt", "pz", "pzso"})
        dir.write(name, "x");
    std::filesystem::create_directory(dir.path() / "pzdir.so");
    std::filesystem::create_directory_symlink(dir.path() / "pzdir.so", dir.path() / "pzlink.so");
    EXPECT_EQ(listPluginFiles("."),
              (std::vector<std::string>{"pz.so", "PZA.SO", "pza.so", "pzb.so", "pzC.So"}));
    EXPECT_EQ(listPluginFiles(dir.path().string()).size(), 5u);
}
#endif

TEST(DynamicLibrary, NeverSearchesTheLibraryPath) {
    TempWorkDir dir;
    std::string error;
    // Present on the loader's search path, absent from the working directory.
#ifdef _WIN32
    const std::string systemLibrary = "kernel32.dll";
#else
    const std::string systemLibrary = "libc.so.6";
#endif
    EXPECT_EQ(DynamicLibrary::open(systemLibrary, error), nullptr);
    EXPECT_NE(error.find(systemLibrary), std::string::npos) << error;
    EXPECT_EQ(DynamicLibrary::openIfLoaded(systemLibrary), nullptr);
}

#ifndef _WIN32
// A backslash is an ordinary character in a POSIX file name: such a plug-in is
// still the file in the working directory, not a name for the loader to search.
TEST(DynamicLibrary, BackslashInANameIsNoFolder) {
    TempWorkDir dir;
    const std::string name = "pz\\x.so";
    dir.addFixture("pzfull", name);
    std::string error;
    auto library = DynamicLibrary::open(name, error);
    ASSERT_NE(library, nullptr) << error;
    EXPECT_NE(DynamicLibrary::openIfLoaded(name), nullptr);
}
#endif

TEST(DynamicLibrary, AlreadyLoadedMeansHeldByThisProcess) {
    TempWorkDir dir;
    const std::string name = pz4test::libraryFileName("pzx");
    dir.addFixture("pzfull", name);
    EXPECT_EQ(DynamicLibrary::openIfLoaded(name), nullptr);
    std::string error;
    auto library = DynamicLibrary::open(name, error);
    ASSERT_NE(library, nullptr) << error;
    EXPECT_NE(library->symbol("LoadObject"), nullptr);
    EXPECT_EQ(library->symbol("NoSuchExport"), nullptr);
    {
        auto again = DynamicLibrary::openIfLoaded(name);
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(again->symbol("LoadObject"), library->symbol("LoadObject"));
    }
    // The second reference went; the first still holds the library.
    EXPECT_NE(DynamicLibrary::openIfLoaded(name), nullptr);
    EXPECT_TRUE(listPluginFiles("no-such-folder").empty());
    library.reset();
    EXPECT_EQ(DynamicLibrary::openIfLoaded(name), nullptr);
}

TEST(DynamicLibrary, KeepsTheSystemsReasonForAFailedLoad) {
    TempWorkDir dir;
    const std::string name = pz4test::libraryFileName("pzjunk");
    dir.write(name, std::string(4096, 'j'));
    std::string error;
    EXPECT_EQ(DynamicLibrary::open(name, error), nullptr);
    EXPECT_NE(error.find(name), std::string::npos) << error;
    EXPECT_EQ(DynamicLibrary::open("pzmissing.so", error), nullptr);
    EXPECT_NE(error.find("pzmissing.so"), std::string::npos) << error;
}
