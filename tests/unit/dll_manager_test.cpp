// The plug-in manager against the fixture plug-ins of tests/plugins: what the
// scan records, which plug-in a file goes to, the open/close and save
// discipline, and how misbehaving answers are contained.
#include "TempWorkDir.h"
#include "plugins/DllManager.h"
#include "plugins/DynamicLibrary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

using pz4test::TempWorkDir;
using Lines = std::vector<std::string>;

namespace {

std::string so(const std::string& stem) {
    return pz4test::libraryFileName(stem);
}

// Whether the process still holds the library of that file in the working directory.
bool held(const std::string& stem) {
    return DynamicLibrary::openIfLoaded(so(stem)) != nullptr;
}

Lines logOf(const TempWorkDir& dir, const std::string& stem) {
    std::istringstream in(dir.read(stem + ".log"));
    Lines lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool logged(const TempWorkDir& dir, const std::string& stem, const std::string& line) {
    const Lines lines = logOf(dir, stem);
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A copy of the full fixture under `stem` claiming `extension`, with extra settings.
void addFull(const TempWorkDir& dir, const std::string& stem, const std::string& extension,
             const std::string& settings = {}) {
    dir.addFixture("pzfull", so(stem));
    dir.write(stem + ".cfg", "extension=" + extension + "\n" + settings);
}

struct Locked {
    unsigned char* pixels = nullptr;
    unsigned char* palette = nullptr;
    int width = 0, height = 0, colorCount = 0, tag = 0;

    bool lock(cDllManager& m, int index) {
        return m.LockFrame(index, &pixels, &palette, &width, &height, &colorCount, &tag);
    }
};

// Two records, the second without a file name, as the animation saver builds them.
struct Chain {
    unsigned char pixels[4] = {1, 2, 3, 4};
    unsigned char palette[768] = {};
    char first[16] = "one.out";
    SAVE_FRAME second{nullptr, nullptr, pixels, palette, 2, 2, 256, 0};
    SAVE_FRAME head{&second, first, pixels, palette, 2, 2, 256, 0};
};

// What a record holds for a plug-in that loaded.
struct Reported {
    const char* author;
    const char* version;
    const char* extension;
    const char* description;
    bool savesFrames;
    bool savesAnims;
};

void expectReported(const cDllManager& m, int i, const Reported& r) {
    EXPECT_STREQ(m.PluginAuthor(i), r.author);
    EXPECT_STREQ(m.PluginVersion(i), r.version);
    EXPECT_STREQ(m.PluginExtension(i), r.extension);
    EXPECT_STREQ(m.PluginDescription(i), r.description);
    EXPECT_EQ(m.PluginSavesFrames(i), r.savesFrames);
    EXPECT_EQ(m.PluginSavesAnims(i), r.savesAnims);
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

TEST(DllManagerScan, RecordsWhatEachPluginReportsInNameOrder) {
    TempWorkDir dir;
    addFull(dir, "pztwo", "two", "saves=0\n");
    addFull(dir, "PZONE", "one", "author=Ann\nversion=2.5\ndescription=One format\n");
    cDllManager m;
    ASSERT_EQ(m.count, 2);
    EXPECT_STREQ(m.PluginFileName(0), so("PZONE").c_str());
    expectReported(m, 0, {"Ann", "2.5", "one", "One format", true, true});
    EXPECT_EQ(m.PluginLoadError(0), nullptr);
    EXPECT_STREQ(m.PluginFileName(1), so("pztwo").c_str());
    EXPECT_FALSE(m.PluginSavesFrames(1));
    EXPECT_FALSE(m.PluginSavesAnims(1));
    for (int i : {-1, 2}) {
        EXPECT_EQ(m.PluginFileName(i), nullptr) << i;
        EXPECT_EQ(m.PluginAuthor(i), nullptr) << i;
        EXPECT_FALSE(m.PluginSavesFrames(i)) << i;
        EXPECT_FALSE(m.PluginSavesAnims(i)) << i;
    }
}

TEST(DllManagerScan, MissingInformationExportsGiveTheDefaults) {
    TempWorkDir dir;
    dir.addFixture("pznoinfo");
    cDllManager m;
    ASSERT_EQ(m.count, 1);
    expectReported(m, 0, {"unknown", "?", "???", "unknown", false, false});
}

TEST(DllManagerScan, NullTextsAreEmptyTextsAndAnEmptyExtensionMatchesNothing) {
    TempWorkDir dir;
    addFull(dir, "pznull", "@null", "author=@null\nversion=@null\ndescription=@null\n");
    cDllManager m;
    ASSERT_EQ(m.count, 1);
    for (const char* text :
         {m.PluginAuthor(0), m.PluginVersion(0), m.PluginExtension(0), m.PluginDescription(0)}) {
        ASSERT_NE(text, nullptr);
        EXPECT_STREQ(text, "");
    }
    EXPECT_EQ(m.FindByExtension(""), nullptr);
    EXPECT_FALSE(m.OpenObject("file.ful"));
}

TEST(DllManagerScan, FileThatIsNoLibraryKeepsItsNameAndTheReasonOnly) {
    TempWorkDir dir;
    dir.write(so("pzbroken"), "this is not a shared library\n");
    addFull(dir, "pzgood", "grp");
    cDllManager m;
    ASSERT_EQ(m.count, 2);
    EXPECT_STREQ(m.PluginFileName(0), so("pzbroken").c_str());
    EXPECT_EQ(m.PluginAuthor(0), nullptr);
    EXPECT_EQ(m.PluginVersion(0), nullptr);
    EXPECT_EQ(m.PluginExtension(0), nullptr);
    EXPECT_EQ(m.PluginDescription(0), nullptr);
    EXPECT_FALSE(m.PluginSavesFrames(0));
    ASSERT_NE(m.PluginLoadError(0), nullptr);
    EXPECT_NE(std::string(m.PluginLoadError(0)).find(so("pzbroken")), std::string::npos)
        << m.PluginLoadError(0);
    // Not even the default extension: it never matches.
    EXPECT_EQ(m.FindByExtension("???"), nullptr);
    EXPECT_FALSE(m.OpenObject("file.???"));
    // The scan went on past it.
    EXPECT_STREQ(m.PluginExtension(1), "grp");
}

TEST(DllManagerScan, ReadsFilesOnlyWithALoadObjectExport) {
    TempWorkDir dir;
    dir.addFixture("pznoload");
    addFull(dir, "pzone", "one");
    dir.write(so("pzzz"), std::string("not a library"));
    cDllManager m;
    ASSERT_EQ(m.count, 3);
    EXPECT_FALSE(m.PluginReadsFiles(0)); // pznoload
    EXPECT_TRUE(m.PluginReadsFiles(1));  // pzone
    EXPECT_FALSE(m.PluginReadsFiles(2)); // did not load
    EXPECT_FALSE(m.PluginReadsFiles(3));
}

TEST(DllManagerScan, HoldsNoLibraryAfterwards) {
    TempWorkDir dir;
    addFull(dir, "pzone", "one");
    dir.addFixture("pznoinfo");
    dir.addFixture("pzdecorated");
    cDllManager m;
    ASSERT_EQ(m.count, 3);
    EXPECT_FALSE(held("pzone"));
    EXPECT_FALSE(held("pznoinfo"));
    EXPECT_FALSE(held("pzdecorated"));
}

// ---- Which plug-in a file goes to -----------------------------------------

struct ExtensionCase {
    const char* claimed; // what the plug-in reports
    const char* path;    // what is opened
    bool opens;
};

class DllManagerExtension : public testing::TestWithParam<ExtensionCase> {};

TEST_P(DllManagerExtension, OpensByWhatFollowsTheLastDot) {
    const ExtensionCase& c = GetParam();
    TempWorkDir dir;
    addFull(dir, "pzone", c.claimed);
    cDllManager m;
    EXPECT_EQ(m.OpenObject(c.path), c.opens);
    EXPECT_EQ(logged(dir, "pzone", std::string("LoadObject ") + c.path), c.opens);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DllManagerExtension,
    testing::Values(
        ExtensionCase{"grp", "/data/SPRITES.GRP", true}, ExtensionCase{"grpx", "SPRITES.GRP", true},
        ExtensionCase{"gr", "SPRITES.GRP", false}, ExtensionCase{"gr", "walk.gr", true},
        ExtensionCase{"GrP", "walk.gRp", true},
        // Longer extensions are the whole of what follows the dot.
        ExtensionCase{"webp", "walk.WebP", true}, ExtensionCase{"ebp", "walk.webp", false},
        ExtensionCase{"web", "walk.webp", false}, ExtensionCase{"jpeg", "a.b.jpeg", true},
        ExtensionCase{"iff", "photo.tiff", false},
        // No dot in the file's name: no extension.
        ExtensionCase{"grp", "grp", false}, ExtensionCase{"grp", "xgrp", false},
        ExtensionCase{"grp", "dir.grp/walk", false}, ExtensionCase{"grp", "", false}));

TEST(OpeningExtension, WhatFollowsTheLastDotOfTheName) {
    const struct {
        const char* path;
        const char* expected;
    } cases[] = {
        {"/data/SPRITES.GRP", "GRP"},
        {"photo.tiff", "tiff"},
        {"a.b.webp", "webp"},
        {"grp", ""},
        {"dir.d/walk", ""},
        {"walk.", ""},
        {"", ""},
        {nullptr, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(openingExtension(c.path), c.expected) << (c.path ? c.path : "(null)");
}

TEST(DllManagerExtensionSearch, ShortNamesAgreeWhereBothEnd) {
    TempWorkDir dir;
    addFull(dir, "pzone", "gr");
    cDllManager m;
    EXPECT_NE(m.FindByExtension("gr"), nullptr);
    EXPECT_NE(m.FindByExtension("GR"), nullptr);
    EXPECT_EQ(m.FindByExtension("grp"), nullptr);
    EXPECT_EQ(m.FindByExtension("g"), nullptr);
    EXPECT_EQ(m.FindByExtension(nullptr), nullptr);
    EXPECT_FALSE(m.OpenObject(nullptr));
}

TEST(DllManagerExtensionSearch, LaterPluginInTheScanWinsForOpenAndSave) {
    TempWorkDir dir;
    addFull(dir, "pza", "dup");
    addFull(dir, "pzb", "DUPE");
    cDllManager m;
    ASSERT_NE(m.FindByExtension("dup"), nullptr);
    EXPECT_TRUE(m.FindByExtension("dup")->fileName.IsEqual(so("pzb").c_str()));
    ASSERT_TRUE(m.OpenObject("walk.dup"));
    Chain chain;
    EXPECT_TRUE(m.SaveFramesWith("dup", &chain.head));
    EXPECT_TRUE(m.SaveAnimWith("dup", &chain.head));
    EXPECT_EQ(logOf(dir, "pzb"),
              (Lines{"LoadObject walk.dup", "SaveObject one.out -", "SaveAnim one.out -"}));
    EXPECT_FALSE(dir.exists("pza.log"));
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
    EXPECT_EQ(m.FrameCount(), -1);
    EXPECT_EQ(logOf(dir, "pzone"), (Lines{"LoadObject /data/walk.grp", "UnloadObject"}));
    m.CloseObject();
    EXPECT_EQ(logOf(dir, "pzone").size(), 2u);
}

TEST(DllManagerOpen, OpeningAnotherFileClosesTheFirst) {
    TempWorkDir dir;
    addFull(dir, "pzone", "one");
    addFull(dir, "pztwo", "two");
    cDllManager m;
    ASSERT_TRUE(m.OpenObject("a.one"));
    ASSERT_TRUE(m.OpenObject("b.two"));
    EXPECT_EQ(logOf(dir, "pzone"), (Lines{"LoadObject a.one", "UnloadObject"}));
    EXPECT_FALSE(held("pzone"));
    EXPECT_TRUE(held("pztwo"));
}

TEST(DllManagerOpen, DestructionClosesTheOpenFile) {
    TempWorkDir dir;
    addFull(dir, "pzone", "one");
    {
        cDllManager m;
        ASSERT_TRUE(m.OpenObject("a.one"));
    }
    EXPECT_TRUE(logged(dir, "pzone", "UnloadObject"));
    EXPECT_FALSE(held("pzone"));
}

TEST(DllManagerOpen, OnlyTheLowByteOfTheAnswerCounts) {
    const struct {
        const char* truth;
        bool opens;
    } cases[] = {{"1", true}, {"256", false}, {"257", true}, {"-256", false}, {"-1", true}};
    for (const auto& c : cases) {
        TempWorkDir dir;
        addFull(dir, "pzone", "one", std::string("truth=") + c.truth + "\n");
        cDllManager m;
        EXPECT_EQ(m.OpenObject("a.one"), c.opens) << c.truth;
    }
}

TEST(DllManagerOpen, RefusedOrThrowingOpenKeepsThePluginUntilTheNextOpen) {
    for (const char* how : {"fail", "throw"}) {
        TempWorkDir dir;
        addFull(dir, "pzone", "one", std::string("load=") + how + "\n");
        cDllManager m;
        EXPECT_FALSE(m.OpenObject("a.one")) << how;
        EXPECT_TRUE(held("pzone"));
        EXPECT_FALSE(m.OpenObject("a.zzz"));
        EXPECT_TRUE(logged(dir, "pzone", "UnloadObject")) << how;
        EXPECT_FALSE(held("pzone"));
    }
}

TEST(DllManagerOpen, MissingLoadObjectFailsAndTheNextOpenReleasesThePlugin) {
    TempWorkDir dir;
    dir.addFixture("pznoload");
    cDllManager m;
    EXPECT_FALSE(m.OpenObject("a.nol"));
    EXPECT_TRUE(held("pznoload"));
    EXPECT_FALSE(m.OpenObject("b.xyz"));
    EXPECT_EQ(logOf(dir, "pznoload"), (Lines{"UnloadObject"}));
    EXPECT_FALSE(held("pznoload"));
}

TEST(DllManagerOpen, MissingExportsMakeTheirOperationsFail) {
    TempWorkDir dir;
    dir.addFixture("pznoinfo");
    cDllManager m;
    ASSERT_TRUE(m.OpenObject("frames.???"));
    EXPECT_EQ(m.FrameCount(), -1);
    Locked out;
    EXPECT_FALSE(out.lock(m, 0));
    Chain chain;
    EXPECT_FALSE(m.SaveFramesWith("???", &chain.head));
    EXPECT_FALSE(m.SaveAnimWith("???", &chain.head));
    // No UnloadObject to call: the library is released all the same.
    m.CloseObject();
    EXPECT_FALSE(held("pznoinfo"));
}

// ---- Frames ---------------------------------------------------------------

TEST(DllManagerLockFrame, HandsOutEachFrame) {
    TempWorkDir dir;
    addFull(dir, "pzone", "one");
    cDllManager m;
    Locked out;
    EXPECT_FALSE(out.lock(m, 0)); // nothing open
    ASSERT_TRUE(m.OpenObject("a.one"));
    for (int k = 0; k < 3; ++k) {
        ASSERT_TRUE(out.lock(m, k));
        EXPECT_EQ(out.width, 2 + k);
        EXPECT_EQ(out.height, 3);
        EXPECT_EQ(out.colorCount, 16 + k);
        EXPECT_EQ(out.tag, 100 + k);
        EXPECT_TRUE(std::all_of(out.pixels, out.pixels + out.width * out.height,
                                [k](unsigned char p) { return p == k + 1; }));
        if (k % 2 == 0) {
            ASSERT_NE(out.palette, nullptr);
            EXPECT_EQ(out.palette[767], k);
        } else {
            EXPECT_EQ(out.palette, nullptr); // written over frame k-1's palette
        }
    }
    EXPECT_FALSE(out.lock(m, 3));
}

TEST(DllManagerLockFrame, OutputsAPluginLeavesUnwrittenHoldNoStaleValues) {
    TempWorkDir dir;
    addFull(dir, "pzone", "one");
    cDllManager m;
    ASSERT_TRUE(m.OpenObject("a.one"));
    Locked out;
    ASSERT_TRUE(out.lock(m, 0));
    ASSERT_NE(out.palette, nullptr);
    dir.write("pzone.cfg", "extension=one\nlock=lazy\n");
    ASSERT_TRUE(out.lock(m, 2));
    EXPECT_EQ(out.width, 4);
    EXPECT_EQ(out.palette, nullptr);
    EXPECT_EQ(out.colorCount, 0);
    EXPECT_EQ(out.tag, 0);
}

TEST(DllManagerLockFrame, UnreadableAnswersAreRefusals) {
    const struct {
        const char* settings;
        bool granted;
    } cases[] = {
        {"lock=refuse\n", false},
        {"lock=throw\n", false},
        {"lock=nullpixels\n", false},
        {"lock=zerowidth\n", false},
        {"lock=negheight\n", false},
        {"lock=overflow\n", false},
        {"lock=huge\n", false},
        // 2^28 bytes exactly is still a frame (its pixels are not read here).
        {"lock=limit\n", true},
    };
    for (const auto& c : cases) {
        TempWorkDir dir;
        addFull(dir, "pzone", "one", c.settings);
        cDllManager m;
        ASSERT_TRUE(m.OpenObject("a.one"));
        Locked out;
        unsigned char sentinel = 0;
        out.pixels = out.palette = &sentinel;
        out.width = out.height = out.colorCount = out.tag = 77;
        EXPECT_EQ(out.lock(m, 0), c.granted) << c.settings;
        if (!c.granted) {
            // A refusal leaves the caller's variables as they were.
            EXPECT_EQ(out.pixels, &sentinel);
            EXPECT_EQ(out.palette, &sentinel);
            EXPECT_EQ(out.width, 77);
            EXPECT_EQ(out.tag, 77);
        }
    }
}

// ---- Saving ---------------------------------------------------------------

TEST(DllManagerSave, SavingPluginStaysLoadedUntilTheManagerGoes) {
    TempWorkDir dir;
    addFull(dir, "pzone", "one");
    addFull(dir, "pztwo", "two");
    {
        cDllManager m;
        ASSERT_TRUE(m.OpenObject("a.one"));
        Chain chain;
        EXPECT_TRUE(m.SaveFramesWith("TWO", &chain.head));
        EXPECT_TRUE(held("pztwo"));
        m.CloseObject();
        EXPECT_FALSE(held("pzone"));
        EXPECT_TRUE(held("pztwo"));
        EXPECT_TRUE(m.SaveAnimWith("two", &chain.head));
        EXPECT_EQ(logOf(dir, "pztwo"), (Lines{"SaveObject one.out -", "SaveAnim one.out -"}));
    }
    EXPECT_FALSE(held("pztwo"));
}

TEST(DllManagerSave, SavingThroughTheOpenFilesPluginIsReleasedWithIt) {
    TempWorkDir dir;
    addFull(dir, "pzone", "one");
    cDllManager m;
    ASSERT_TRUE(m.OpenObject("a.one"));
    Chain chain;
    EXPECT_TRUE(m.SaveFramesWith("one", &chain.head));
    m.CloseObject();
    EXPECT_FALSE(held("pzone"));
    EXPECT_EQ(logOf(dir, "pzone"),
              (Lines{"LoadObject a.one", "SaveObject one.out -", "UnloadObject"}));
}

TEST(DllManagerSave, FailsWithoutPluginChainOrSuccess) {
    TempWorkDir dir;
    addFull(dir, "pzone", "one");
    addFull(dir, "pzlow", "low", "truth=512\n");
    cDllManager m;
    Chain chain;
    EXPECT_FALSE(m.SaveFramesWith("zzz", &chain.head));
    EXPECT_FALSE(m.SaveFramesWith(nullptr, &chain.head));
    EXPECT_FALSE(m.SaveFramesWith("one", nullptr));
    EXPECT_FALSE(m.SaveAnimWith("one", nullptr));
    EXPECT_FALSE(dir.exists("pzone.log")); // a null chain never reaches the plug-in
    EXPECT_FALSE(m.SaveFramesWith("low", &chain.head));
    EXPECT_FALSE(m.SaveAnimWith("low", &chain.head));
}

// ---- Decorated names ------------------------------------------------------

TEST(DllManagerDecorated, DecoratedExportsAreCalledBeforePlainOnes) {
    TempWorkDir dir;
    dir.addFixture("pzdecorated");
    {
        cDllManager m;
        ASSERT_EQ(m.count, 1);
        expectReported(
            m, 0,
            {"decorated author", "decorated version", "dec", "decorated description", true, true});
        ASSERT_TRUE(m.OpenObject("x.dec"));
        EXPECT_EQ(m.FrameCount(), 1);
        Locked out;
        EXPECT_TRUE(out.lock(m, 0));
        Chain chain;
        EXPECT_TRUE(m.SaveFramesWith("dec", &chain.head));
        EXPECT_TRUE(m.SaveAnimWith("dec", &chain.head));
    }
    const Lines lines = logOf(dir, "pzdecorated");
    EXPECT_EQ(lines.size(), 12u);
    for (const std::string& line : lines)
        EXPECT_EQ(line.rfind("decorated ", 0), 0u) << line;
}

#ifndef _WIN32
// The decorated names looked up are the ones a C++ compiler gives functions of
// the contract's signatures: the fixture declares them as plain C++ functions.
TEST(DllManagerDecorated, EveryDecoratedNameIsTheCompilersName) {
    TempWorkDir dir;
    dir.addFixture("pzdecorated");
    std::string error;
    auto library = DynamicLibrary::open(so("pzdecorated"), error);
    ASSERT_NE(library, nullptr) << error;
    for (const auto& name : pz4::plugin::kExportNames) {
        void* decorated = library->symbol(name.decorated);
        EXPECT_NE(decorated, nullptr) << name.decorated;
        EXPECT_NE(library->symbol(name.plain), nullptr) << name.plain;
        EXPECT_NE(decorated, library->symbol(name.plain)) << name.plain;
    }
}
#endif
