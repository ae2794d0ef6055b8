#pragma once

// A built format plug-in opened as the program opens it, from a working folder of
// its own, and driven through its exports alone. Test fixtures derive from it
// beside their gtest base and attach the plug-in in SetUp.

#include "plugins/ExportLookup.h"
#include "pz4/PluginContract.h"

#include <TempWorkDir.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace plugintest {

class PluginDriver {
public:
    PluginDriver() = default;
    PluginDriver(const PluginDriver&) = delete;
    PluginDriver& operator=(const PluginDriver&) = delete;
    // The open file is let go before the library, and the library before its folder.
    ~PluginDriver() {
        if (unload)
            unload();
        library_.reset();
    }

    // Copies the built plug-in `name` into the folder, opens it and finds the
    // exports that load and save.
    ::testing::AssertionResult attach(const std::string& name) {
        dir_.addFormat(name);
        std::string error;
        library_ =
            DynamicLibrary::open((dir_.path() / pz4test::libraryFileName(name)).string(), error);
        if (library_ == nullptr)
            return ::testing::AssertionFailure() << error;
        using pz4::plugin::Export;
        load = fn<pz4::plugin::LoadObjectFn>(Export::LoadObject);
        unload = fn<pz4::plugin::UnloadObjectFn>(Export::UnloadObject);
        count = fn<pz4::plugin::GetNumberOfFramesFn>(Export::GetNumberOfFrames);
        lock = fn<pz4::plugin::LockFrameFn>(Export::LockFrame);
        saveObject = fn<pz4::plugin::SaveFn>(Export::SaveObject);
        saveAnim = fn<pz4::plugin::SaveFn>(Export::SaveAnim);
        if (!load || !unload || !count || !lock || !saveObject || !saveAnim)
            return ::testing::AssertionFailure() << name << " lacks a loading or saving export";
        return ::testing::AssertionSuccess();
    }

    template <class F, class Name> F fn(Name name) const { return findExport<F>(*library_, name); }
    std::string text(pz4::plugin::Export e) const { return fn<pz4::plugin::GetTextFn>(e)(); }
    bool flag(pz4::plugin::Export e) const {
        return pz4::plugin::truth(fn<pz4::plugin::GetTruthFn>(e)());
    }

    struct Locked {
        unsigned char* pixels = nullptr;
        unsigned char* palette = nullptr;
        int width = -1, height = -1, colorCount = -1, tag = -1;
        bool ok = false;
    };
    Locked lockFrame(int index) const {
        Locked l;
        // Stale values, as a caller may leave them, must all be overwritten.
        l.palette = reinterpret_cast<unsigned char*>(&l);
        l.ok = pz4::plugin::truth(
            lock(index, &l.pixels, &l.palette, &l.width, &l.height, &l.colorCount, &l.tag));
        return l;
    }
    // Loads the file `name` of the folder.
    bool open(const std::string& name) const {
        std::string path = (dir_.path() / name).string();
        return pz4::plugin::truth(load(path.data()));
    }

protected:
    pz4test::TempWorkDir dir_;
    std::unique_ptr<DynamicLibrary> library_;
    pz4::plugin::LoadObjectFn load = nullptr;
    pz4::plugin::UnloadObjectFn unload = nullptr;
    pz4::plugin::GetNumberOfFramesFn count = nullptr;
    pz4::plugin::LockFrameFn lock = nullptr;
    pz4::plugin::SaveFn saveObject = nullptr;
    pz4::plugin::SaveFn saveAnim = nullptr;
};

} // namespace plugintest
