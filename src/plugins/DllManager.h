#pragma once

#include "frames/JqString.h"
#include "plugins/DynamicLibrary.h"
#include "pz4/PluginContract.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

// What the scan learned about one library named like a plug-in.
struct PluginRecord {
    JqString fileName;  // as the directory scan returned it, no folder
    std::string folder; // the folder it was found in, absolute
    JqString author;    // the plug-in's texts, or the defaults; empty when it did not load
    JqString version;
    JqString extension;
    JqString description;
    bool savesFrames = false;
    bool savesAnims = false;
    bool readsFiles = false;                // exports LoadObject, by either of its names
    bool loaded = false;                    // the library could be loaded during the scan
    std::string loadError;                  // the operating system's reason when it could not
    std::unique_ptr<DynamicLibrary> module; // held only while the program needs it
    std::unique_ptr<PluginRecord> next;
};

// What LockFrame hands out for one frame. The buffers belong to the plug-in
// until its file is closed or another is opened.
struct LockedFrame {
    unsigned char* pixels = nullptr;
    unsigned char* palette = nullptr; // null: the frame brings no palette
    int width = 0;
    int height = 0;
    int colorCount = 0;
    int tag = 0;
    int transparent = -1; // the palette index shown as transparent, -1 for none
};

// The extension a path is opened by: what follows the last dot of its file name;
// empty when the name has no dot.
std::string openingExtension(const char* path);

// Finds the plug-ins once, and forwards the program's requests to the plug-in of
// the open file or to a saving plug-in.
class cDllManager {
public:
    // Scans the program's plug-in folders (pluginFolders in ProgramFolders.h).
    cDllManager();
    // Scans `folders` in order, each sorted by name; a file name found again in a
    // later folder is passed over, so the first folder's library is the one used.
    explicit cDllManager(const std::vector<std::string>& folders);
    ~cDllManager();
    cDllManager(const cDllManager&) = delete;
    cDllManager& operator=(const cDllManager&) = delete;

    int count = 0; // number of records, read directly by callers

    // Null when i is out of range or the text is absent.
    const char* PluginFileName(int i) const;
    // The folder the library was found in (absolute), or null.
    const char* PluginFolder(int i) const;
    const char* PluginAuthor(int i) const;
    const char* PluginVersion(int i) const;
    const char* PluginExtension(int i) const;
    const char* PluginDescription(int i) const;
    // The operating system's reason a library failed to load, or null.
    const char* PluginLoadError(int i) const;
    bool PluginSavesFrames(int i) const;
    bool PluginSavesAnims(int i) const;
    bool PluginReadsFiles(int i) const;

    // The last record in scan order whose extension agrees with `ext`, letters of
    // either case, in ext's characters but at least three (so "grpx" answers for
    // "grp"); null when none does.
    PluginRecord* FindByExtension(const char* ext);

    bool OpenObject(const char* path);
    // After OpenObject answered false: the plug-in's reason (GetFailureReason),
    // empty when it gives none or no plug-in was asked.
    const std::string& OpenFailure() const { return openFailure_; }
    void CloseObject();
    int FrameCount();
    // The frame, or nothing when the plug-in refuses it or answers with a buffer
    // no caller can safely read. Its transparent index comes from the optional
    // GetFrameTransparency (-1 without it, or for an answer that is no index).
    std::optional<LockedFrame> LockFrame(int index);
    // The same through the contract's seven outputs, written only when it answers true.
    bool LockFrame(int index, unsigned char** pixels, unsigned char** palette, int* width,
                   int* height, int* colorCount, int* tag);
    // `transparency`, the transparent index of each record in order, goes to the
    // plug-in's optional SetSaveTransparency just before it saves.
    bool SaveFramesWith(const char* extension, SAVE_FRAME* first,
                        std::span<const int> transparency = {});
    bool SaveAnimWith(const char* extension, SAVE_FRAME* first,
                      std::span<const int> transparency = {});

    const PluginRecord* current() const { return current_; }

private:
    PluginRecord* record(int i) const;

    std::unique_ptr<PluginRecord> first_;
    PluginRecord* current_ = nullptr;
    // The open file's plug-in's GetFrameTransparency, looked up once it is open.
    pz4::plugin::GetFrameTransparencyFn frameTransparency_ = nullptr;
    std::string openFailure_;
};
