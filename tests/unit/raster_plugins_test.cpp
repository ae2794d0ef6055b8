// The built PCX, BMP and PNG plug-ins, loaded as the program loads them and
// driven through their twelve exports alone.

#include "RasterTestKit.h"
#include "TempWorkDir.h"
#include "plugins/DllManager.h"
#include "plugins/ExportLookup.h"
#include "pz4/PluginContract.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>

using namespace rastertest;
namespace plugin = pz4::plugin;

namespace {

struct FormatCase {
    const char* library;
    const char* extension;
    const char* description;
    const char* junkReason; // why a file of 300 'x' is refused
};

class Plugin {
public:
    explicit Plugin(const char* name) {
        const std::string path = std::string(PZ4_PLUGIN_DIR) + "/" + pz4test::libraryFileName(name);
        std::string error;
        library_ = DynamicLibrary::open(path, error);
        if (library_ == nullptr)
            ADD_FAILURE() << error;
    }

    // Raw symbols, for checking what the library exports under which name.
    void* lookup(const char* name) const {
        return library_ == nullptr ? nullptr : library_->symbol(name);
    }
    void* symbol(plugin::Export e) const { return lookup(plugin::exportName(e).plain); }
    template <class Fn, class Name> Fn fn(Name name) const {
        return library_ == nullptr ? nullptr : findExport<Fn>(*library_, name);
    }

    const char* text(plugin::Export e) const { return fn<plugin::GetTextFn>(e)(); }
    bool truth(plugin::Export e) const { return plugin::truth(fn<plugin::GetTruthFn>(e)()); }
    bool load(const std::string& path) const {
        std::string copy = path;
        return plugin::truth(fn<plugin::LoadObjectFn>(plugin::Export::LoadObject)(copy.data()));
    }
    void unload() const { fn<plugin::UnloadObjectFn>(plugin::Export::UnloadObject)(); }
    std::string failureReason() const {
        auto why = fn<plugin::GetFailureReasonFn>(plugin::kFailureReasonName);
        return why != nullptr ? why() : "(no GetFailureReason)";
    }
    int frames() const {
        return fn<plugin::GetNumberOfFramesFn>(plugin::Export::GetNumberOfFrames)();
    }
    int save(SAVE_FRAME* first) const {
        return fn<plugin::SaveFn>(plugin::Export::SaveObject)(first);
    }
    int saveAnim(SAVE_FRAME* first) const {
        return fn<plugin::SaveFn>(plugin::Export::SaveAnim)(first);
    }

    struct Locked {
        bool ok = false;
        unsigned char* pixels = nullptr;
        unsigned char* palette = nullptr;
        int width = -7, height = -7, colorCount = -7, tag = -7;
    };
    // Outputs start out holding stale values, as the program may pass them.
    Locked lock(int index) const {
        Locked l;
        l.pixels = reinterpret_cast<unsigned char*>(&l);
        l.palette = reinterpret_cast<unsigned char*>(&l);
        l.ok = plugin::truth(fn<plugin::LockFrameFn>(plugin::Export::LockFrame)(
            index, &l.pixels, &l.palette, &l.width, &l.height, &l.colorCount, &l.tag));
        return l;
    }

private:
    std::unique_ptr<DynamicLibrary> library_;
};

SAVE_FRAME recordOf(Picture& p, std::string& name) {
    return SAVE_FRAME{nullptr, name.data(), p.pixels.data(), p.palette.data(),
                      p.width, p.height,    p.colorCount,    41};
}

class RasterPlugin : public ::testing::TestWithParam<FormatCase> {
protected:
    std::string fileName(const std::string& stem) const {
        return (dir.path() / (stem + "." + GetParam().extension)).string();
    }
    pz4test::TempWorkDir dir;
    Plugin plugin{GetParam().library};
};

} // namespace

TEST_P(RasterPlugin, ReportsItselfThroughEveryExport) {
    for (int e = 0; e < plugin::kExportCount; ++e)
        EXPECT_NE(plugin.symbol(static_cast<plugin::Export>(e)), nullptr)
            << plugin::kExportNames[e].plain;
    EXPECT_STREQ(plugin.text(plugin::Export::GetExtension), GetParam().extension);
    EXPECT_STREQ(plugin.text(plugin::Export::GetDescription), GetParam().description);
    EXPECT_GT(std::strlen(plugin.text(plugin::Export::GetDllAuthor)), 0u);
    EXPECT_GT(std::strlen(plugin.text(plugin::Export::GetDllVersion)), 0u);
    EXPECT_TRUE(plugin.truth(plugin::Export::SupportsSaveFrames));
    EXPECT_FALSE(plugin.truth(plugin::Export::SupportsSaveAnims));
}

TEST_P(RasterPlugin, SavedFramesLoadBackWithStableBuffers) {
    Picture first = samplePicture(13, 9);
    Picture second = samplePicture(4, 30, 16);
    std::string name1 = fileName("one"), name2 = fileName("two");
    SAVE_FRAME r1 = recordOf(first, name1), r2 = recordOf(second, name2);
    r1.next = &r2;
    ASSERT_EQ(plugin.save(&r1), 1);

    ASSERT_TRUE(plugin.load(name1));
    ASSERT_EQ(plugin.frames(), 1);
    const Plugin::Locked a = plugin.lock(0);
    ASSERT_TRUE(a.ok);
    ASSERT_EQ(a.width, 13);
    ASSERT_EQ(a.height, 9);
    EXPECT_EQ(Bytes(a.pixels, a.pixels + first.pixels.size()), first.pixels);
    ASSERT_NE(a.palette, nullptr);
    EXPECT_TRUE(std::equal(first.palette.begin(), first.palette.end(), a.palette));
    EXPECT_EQ(a.colorCount, 256);
    EXPECT_EQ(a.tag, 0); // these formats keep no per-frame number

    // The program's chain is gone once a save returns; the open file is untouched by it.
    std::string name3 = fileName("three");
    SAVE_FRAME r3 = recordOf(second, name3);
    ASSERT_EQ(plugin.save(&r3), 1);
    std::fill(second.pixels.begin(), second.pixels.end(), 0);
    const Plugin::Locked again = plugin.lock(0);
    EXPECT_EQ(again.pixels, a.pixels);
    EXPECT_EQ(again.palette, a.palette);
    EXPECT_EQ(Bytes(a.pixels, a.pixels + first.pixels.size()), first.pixels);

    EXPECT_FALSE(plugin.lock(1).ok);
    EXPECT_FALSE(plugin.lock(-1).ok);

    // Loading another file replaces the first one.
    ASSERT_TRUE(plugin.load(name2));
    const Plugin::Locked b = plugin.lock(0);
    ASSERT_TRUE(b.ok);
    EXPECT_EQ(b.width, 4);
    EXPECT_EQ(b.height, 30);
    EXPECT_EQ(Bytes(b.pixels, b.pixels + 120), samplePicture(4, 30, 16).pixels);

    plugin.unload();
    EXPECT_EQ(plugin.frames(), 0);
    EXPECT_FALSE(plugin.lock(0).ok);
}

TEST_P(RasterPlugin, UnreadableFilesLeaveNothingOpen) {
    Picture p = samplePicture(5, 5);
    std::string name = fileName("good");
    SAVE_FRAME r = recordOf(p, name);
    ASSERT_EQ(plugin.save(&r), 1);
    ASSERT_TRUE(plugin.load(name));

    EXPECT_EQ(plugin.failureReason(), "");

    dir.write(std::string("junk.") + GetParam().extension, std::string(300, 'x'));
    EXPECT_FALSE(
        plugin.load((dir.path() / (std::string("junk.") + GetParam().extension)).string()));
    EXPECT_EQ(plugin.frames(), 0);
    EXPECT_EQ(plugin.failureReason(), GetParam().junkReason);
    EXPECT_FALSE(plugin.load(fileName("missing")));
    EXPECT_EQ(plugin.frames(), 0);
    EXPECT_EQ(plugin.failureReason(), "cannot be opened (No such file or directory)");
    // A folder opens on some systems and fails on reading.
    EXPECT_FALSE(plugin.load(dir.path().string()));
    EXPECT_NE(plugin.failureReason(), "");

    // A load that works leaves no reason behind.
    ASSERT_TRUE(plugin.load(name));
    EXPECT_EQ(plugin.failureReason(), "");
}

TEST_P(RasterPlugin, BadRecordsFailTheSaveButNotTheOthers) {
    Picture p = samplePicture(6, 2);
    std::string good = fileName("kept"), none, unwritable = fileName("no/such/folder/x");
    SAVE_FRAME r1 = recordOf(p, good), r2 = recordOf(p, none), r3 = recordOf(p, unwritable);
    r2.fileName = nullptr;
    r1.next = &r2;
    r2.next = &r3;
    EXPECT_EQ(plugin.save(&r1), 0);
    EXPECT_TRUE(plugin.load(good));

    EXPECT_EQ(plugin.save(nullptr), 0);
    SAVE_FRAME empty = recordOf(p, good);
    empty.width = 0;
    EXPECT_EQ(plugin.save(&empty), 0);
    EXPECT_EQ(plugin.saveAnim(&r1), 0);
}

// A plug-in exports the contract and nothing else: helpers of its own or of the
// libraries linked into it would answer for another plug-in's in a process that
// binds globally, and the decorated names must not shadow the plain ones.
TEST(FormatPlugins, ExportOnlyTheContract) {
    for (const char* library : {"pzpcx", "pzbmp", "pzpng", "pzgif"}) {
        SCOPED_TRACE(library);
        const Plugin p(library);
        for (int e = 0; e < plugin::kExportCount; ++e) {
            EXPECT_NE(p.symbol(static_cast<plugin::Export>(e)), nullptr);
            EXPECT_EQ(p.lookup(plugin::kExportNames[e].decorated), nullptr);
        }
        for (const char* helper : {"_ZN6pz4fmt12DecodeBudget4takeEii", // linked library
                                   "_ZN6pz4fmt15validImageInputERKNS_9SaveInputE",
                                   "_ZN6pz4fmt11saveInputOfERK10SAVE_FRAME"}) // inline, own
            EXPECT_EQ(p.lookup(helper), nullptr) << helper;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, RasterPlugin,
                         ::testing::Values(FormatCase{"pzpcx", "pcx", "PCX Image",
                                                      "not a PCX file (first byte 120, not 10)"},
                                           FormatCase{"pzbmp", "bmp", "Windows Bitmap",
                                                      "not a bitmap (no \"BM\" at the start)"},
                                           FormatCase{"pzpng", "png", "PNG Image",
                                                      "not a PNG file (no PNG signature)"}),
                         [](const auto& info) { return std::string(info.param.extension); });

// The way the program converts: open with one plug-in, save the locked frame
// with another, through the plug-in manager. PCX to BMP to PNG and back to PCX
// keeps every pixel and colour.
TEST(RasterPluginManager, ConvertsBetweenTheFormats) {
    pz4test::TempWorkDir dir;
    for (const char* name : {"pzpcx", "pzbmp", "pzpng"})
        dir.addFormat(name);
    cDllManager manager;
    ASSERT_EQ(manager.count, 3);

    Picture p = samplePicture(21, 11);
    std::string path = (dir.path() / "start.pcx").string();
    SAVE_FRAME start = recordOf(p, path);
    ASSERT_TRUE(manager.SaveFramesWith("pcx", &start));
    // Each step opens the file the previous one wrote; the last only checks it.
    for (const char* ext : {"bmp", "png", "pcx", ""}) {
        SCOPED_TRACE(path);
        ASSERT_TRUE(manager.OpenObject(path.c_str()));
        ASSERT_EQ(manager.FrameCount(), 1);
        const std::optional<LockedFrame> f = manager.LockFrame(0);
        ASSERT_TRUE(f.has_value());
        ASSERT_EQ(f->width * f->height, static_cast<int>(p.pixels.size()));
        EXPECT_EQ(Bytes(f->pixels, f->pixels + p.pixels.size()), p.pixels);
        ASSERT_NE(f->palette, nullptr);
        EXPECT_TRUE(std::equal(p.palette.begin(), p.palette.end(), f->palette));
        if (*ext == '\0')
            break;
        std::string next = (dir.path() / (std::string("next.") + ext)).string();
        SAVE_FRAME r{nullptr,  next.data(), f->pixels,     f->palette,
                     f->width, f->height,   f->colorCount, f->tag};
        ASSERT_TRUE(manager.SaveFramesWith(ext, &r));
        manager.CloseObject();
        path = next;
    }
}
