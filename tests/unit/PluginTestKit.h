#pragma once

// A built format plug-in opened as the program opens it, from a working folder of
// its own, and driven through its exports alone. Test fixtures derive from it
// beside their gtest base and attach the plug-in in SetUp.

#include "pz4/PluginContract.h"

#include <TempWorkDir.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

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
        if (handle_)
            dlclose(handle_);
    }

    // Copies the built plug-in `name` into the folder, opens it and finds the
    // exports that load and save.
    ::testing::AssertionResult attach(const std::string& name) {
        dir_.addFormat(name);
        handle_ =
            dlopen((dir_.path() / pz4test::libraryFileName(name)).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr)
            return ::testing::AssertionFailure() << dlerror();
        load = fn<pz4::plugin::LoadObjectFn>("LoadObject");
        unload = fn<pz4::plugin::UnloadObjectFn>("UnloadObject");
        count = fn<pz4::plugin::GetNumberOfFramesFn>("GetNumberOfFrames");
        lock = fn<pz4::plugin::LockFrameFn>("LockFrame");
        saveObject = fn<pz4::plugin::SaveFn>("SaveObject");
        saveAnim = fn<pz4::plugin::SaveFn>("SaveAnim");
        if (!load || !unload || !count || !lock || !saveObject || !saveAnim)
            return ::testing::AssertionFailure() << name << " lacks a loading or saving export";
        return ::testing::AssertionSuccess();
    }

    template <class F> F fn(const char* name) const {
        return reinterpret_cast<F>(dlsym(handle_, name));
    }
    std::string text(const char* name) const { return fn<pz4::plugin::GetTextFn>(name)(); }
    bool flag(const char* name) const {
        return pz4::plugin::truth(fn<pz4::plugin::GetTruthFn>(name)());
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
    void* handle_ = nullptr;
    pz4::plugin::LoadObjectFn load = nullptr;
    pz4::plugin::UnloadObjectFn unload = nullptr;
    pz4::plugin::GetNumberOfFramesFn count = nullptr;
    pz4::plugin::LockFrameFn lock = nullptr;
    pz4::plugin::SaveFn saveObject = nullptr;
    pz4::plugin::SaveFn saveAnim = nullptr;
};

} // namespace plugintest
