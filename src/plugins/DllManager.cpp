#include "plugins/DllManager.h"

#include "plugins/ExportLookup.h"
#include "plugins/ProgramFolders.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <vector>

using pz4::plugin::Export;

namespace {

// Frames larger than this are refused whatever the plug-in claims: every
// caller copies or converts the whole buffer.
constexpr int64_t kMaxFrameBytes = int64_t{1} << 28;

// The plug-in's reason for refusing the file it was just asked to load.
std::string askFailureReason(const DynamicLibrary& library) {
    auto fn = findExport<pz4::plugin::GetFailureReasonFn>(library, pz4::plugin::kFailureReasonName);
    if (fn == nullptr)
        return {};
    try {
        const char* reason = fn();
        return reason != nullptr ? reason : "";
    } catch (...) {
        return {};
    }
}

// The plug-in's text copied at once; a null answer is the empty text.
JqString askText(const DynamicLibrary& library, Export e, const char* fallback) {
    auto fn = findExport<pz4::plugin::GetTextFn>(library, e);
    if (fn == nullptr)
        return JqString(fallback);
    try {
        return JqString(fn());
    } catch (...) {
        return JqString();
    }
}

bool askTruth(const DynamicLibrary& library, Export e) {
    auto fn = findExport<pz4::plugin::GetTruthFn>(library, e);
    if (fn == nullptr)
        return false;
    try {
        return pz4::plugin::truth(fn());
    } catch (...) {
        return false;
    }
}

// The handle the process already holds for that file, else a fresh load.
std::unique_ptr<DynamicLibrary> acquire(const PluginRecord& record, std::string* error) {
    const std::string path =
        (std::filesystem::path(record.folder) / record.fileName.str()).string();
    if (auto held = DynamicLibrary::openIfLoaded(path))
        return held;
    std::string reason;
    auto loaded = DynamicLibrary::open(path, reason);
    if (error != nullptr)
        *error = reason;
    return loaded;
}

bool ensureModule(PluginRecord& record) {
    if (record.module == nullptr)
        record.module = acquire(record, nullptr);
    return record.module != nullptr;
}

char upperAscii(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

// A plug-in's extension and a file's agree, letters of either case, in as many
// characters as the file's has, and at least three: a plug-in reporting "grpx"
// still opens .grp files, as it always did, and "webp" tells .webp from .web.
bool extensionsAgree(const char* plugin, const char* file) {
    const size_t n = std::max<size_t>(3, std::strlen(file));
    for (size_t i = 0; i < n; ++i) {
        if (upperAscii(plugin[i]) != upperAscii(file[i]))
            return false;
        if (plugin[i] == '\0')
            return true;
    }
    return true;
}

bool save(PluginRecord* record, Export e, SAVE_FRAME* first, std::span<const int> transparency) {
    if (record == nullptr || first == nullptr || !ensureModule(*record))
        return false;
    auto fn = findExport<pz4::plugin::SaveFn>(*record->module, e);
    if (fn == nullptr)
        return false;
    try {
        if (auto tell = findExport<pz4::plugin::SetSaveTransparencyFn>(
                *record->module, pz4::plugin::kSaveTransparencyName))
            tell(transparency.data(), static_cast<int>(transparency.size()));
        return pz4::plugin::truth(fn(first));
    } catch (...) {
        return false;
    }
}

} // namespace

std::string openingExtension(const char* path) {
    const std::string p = path != nullptr ? path : "";
#ifdef _WIN32
    const size_t name = p.find_last_of("/\\");
#else
    const size_t name = p.find_last_of('/');
#endif
    const size_t dot = p.find_last_of('.');
    if (dot == std::string::npos || (name != std::string::npos && dot < name))
        return {};
    return p.substr(dot + 1);
}

cDllManager::cDllManager() : cDllManager(pluginFolders()) {}

cDllManager::cDllManager(const std::vector<std::string>& folders) {
    PluginRecord* last = nullptr;
    std::vector<std::string> taken; // names already found, letters of either case
    for (const std::string& folder : folders) {
        for (const std::string& name : listPluginFiles(folder)) {
            std::string key = name;
            for (char& c : key)
                c = upperAscii(c);
            if (std::find(taken.begin(), taken.end(), key) != taken.end())
                continue;
            taken.push_back(std::move(key));
            auto record = std::make_unique<PluginRecord>();
            record->fileName.Assign(name.c_str());
            record->folder = folder;
            PluginRecord* added = record.get();
            if (last == nullptr)
                first_ = std::move(record);
            else
                last->next = std::move(record);
            last = added;
            ++count;
        }
    }

    for (PluginRecord* r = first_.get(); r != nullptr; r = r->next.get()) {
        auto library = acquire(*r, &r->loadError);
        if (library == nullptr)
            continue;
        r->loaded = true;
        r->author = askText(*library, Export::GetDllAuthor, "unknown");
        r->extension = askText(*library, Export::GetExtension, "???");
        r->version = askText(*library, Export::GetDllVersion, "?");
        r->description = askText(*library, Export::GetDescription, "unknown");
        r->savesFrames = askTruth(*library, Export::SupportsSaveFrames);
        r->savesAnims = askTruth(*library, Export::SupportsSaveAnims);
        r->readsFiles =
            findExport<pz4::plugin::LoadObjectFn>(*library, Export::LoadObject) != nullptr;
        // Released here: only the open file's plug-in and a saving one are held.
    }
}

cDllManager::~cDllManager() {
    CloseObject();
    // Released one by one, so a long chain never recurses deeply.
    while (first_ != nullptr)
        first_ = std::move(first_->next);
}

PluginRecord* cDllManager::record(int i) const {
    if (i < 0)
        return nullptr;
    PluginRecord* r = first_.get();
    for (; r != nullptr && i > 0; --i)
        r = r->next.get();
    return r;
}

// A library that did not load reports nothing; one that did always has a text,
// possibly empty, so callers never meet a null for a working plug-in.
const char* cDllManager::PluginFileName(int i) const {
    const PluginRecord* r = record(i);
    return r != nullptr ? r->fileName.text() : nullptr;
}

const char* cDllManager::PluginFolder(int i) const {
    const PluginRecord* r = record(i);
    return r != nullptr ? r->folder.c_str() : nullptr;
}

const char* cDllManager::PluginAuthor(int i) const {
    const PluginRecord* r = record(i);
    return r != nullptr && r->loaded ? r->author.c_str() : nullptr;
}

const char* cDllManager::PluginVersion(int i) const {
    const PluginRecord* r = record(i);
    return r != nullptr && r->loaded ? r->version.c_str() : nullptr;
}

const char* cDllManager::PluginExtension(int i) const {
    const PluginRecord* r = record(i);
    return r != nullptr && r->loaded ? r->extension.c_str() : nullptr;
}

const char* cDllManager::PluginDescription(int i) const {
    const PluginRecord* r = record(i);
    return r != nullptr && r->loaded ? r->description.c_str() : nullptr;
}

const char* cDllManager::PluginLoadError(int i) const {
    const PluginRecord* r = record(i);
    return r != nullptr && !r->loaded ? r->loadError.c_str() : nullptr;
}

bool cDllManager::PluginSavesFrames(int i) const {
    const PluginRecord* r = record(i);
    return r != nullptr && r->savesFrames;
}

bool cDllManager::PluginSavesAnims(int i) const {
    const PluginRecord* r = record(i);
    return r != nullptr && r->savesAnims;
}

bool cDllManager::PluginReadsFiles(int i) const {
    const PluginRecord* r = record(i);
    return r != nullptr && r->readsFiles;
}

PluginRecord* cDllManager::FindByExtension(const char* ext) {
    if (ext == nullptr)
        return nullptr;
    PluginRecord* found = nullptr;
    for (PluginRecord* r = first_.get(); r != nullptr; r = r->next.get())
        if (!r->extension.empty() && extensionsAgree(r->extension.c_str(), ext))
            found = r;
    return found;
}

bool cDllManager::OpenObject(const char* path) {
    CloseObject();
    const std::string extension = openingExtension(path);
    if (extension.empty())
        return false;
    PluginRecord* r = FindByExtension(extension.c_str());
    if (r == nullptr)
        return false;
    current_ = r;
    if (!ensureModule(*r))
        return false;
    auto load = findExport<pz4::plugin::LoadObjectFn>(*r->module, Export::LoadObject);
    if (load == nullptr)
        return false;
    frameTransparency_ = findExport<pz4::plugin::GetFrameTransparencyFn>(
        *r->module, pz4::plugin::kFrameTransparencyName);
    // The plug-in takes a writable text; it gets its own copy of the path.
    std::vector<char> copy(path, path + JqString::TextLength(path) + 1);
    bool loaded = false;
    try {
        loaded = pz4::plugin::truth(load(copy.data()));
    } catch (...) {
        loaded = false;
    }
    if (!loaded)
        openFailure_ = askFailureReason(*r->module);
    return loaded;
}

void cDllManager::CloseObject() {
    openFailure_.clear();
    frameTransparency_ = nullptr;
    if (current_ != nullptr && current_->module != nullptr) {
        if (auto unload =
                findExport<pz4::plugin::UnloadObjectFn>(*current_->module, Export::UnloadObject)) {
            try {
                unload();
            } catch (...) {
                // The library is released all the same.
            }
        }
        current_->module.reset();
    }
    current_ = nullptr;
}

int cDllManager::FrameCount() {
    if (current_ == nullptr || current_->module == nullptr)
        return -1;
    auto fn =
        findExport<pz4::plugin::GetNumberOfFramesFn>(*current_->module, Export::GetNumberOfFrames);
    if (fn == nullptr)
        return -1;
    try {
        return fn();
    } catch (...) {
        return -1;
    }
}

std::optional<LockedFrame> cDllManager::LockFrame(int index) {
    if (current_ == nullptr || current_->module == nullptr)
        return std::nullopt;
    auto fn = findExport<pz4::plugin::LockFrameFn>(*current_->module, Export::LockFrame);
    if (fn == nullptr)
        return std::nullopt;
    // Fresh outputs: an output the plug-in leaves unwritten reads as "none"
    // instead of a value left over from another frame.
    unsigned char* px = nullptr;
    unsigned char* pal = nullptr;
    int w = 0, h = 0, colors = 0, t = 0;
    bool granted = false;
    try {
        granted = pz4::plugin::truth(fn(index, &px, &pal, &w, &h, &colors, &t));
    } catch (...) {
        granted = false;
    }
    // A frame no caller could read safely is a refused frame.
    if (!granted || px == nullptr || w <= 0 || h <= 0 ||
        static_cast<int64_t>(w) * static_cast<int64_t>(h) > kMaxFrameBytes)
        return std::nullopt;
    int transparent = -1;
    if (frameTransparency_ != nullptr) {
        try {
            transparent = frameTransparency_(index);
        } catch (...) {
            transparent = -1;
        }
        if (transparent < 0 || transparent > 255)
            transparent = -1;
    }
    return LockedFrame{px, pal, w, h, colors, t, transparent};
}

bool cDllManager::LockFrame(int index, unsigned char** pixels, unsigned char** palette, int* width,
                            int* height, int* colorCount, int* tag) {
    if (pixels == nullptr || palette == nullptr || width == nullptr || height == nullptr ||
        colorCount == nullptr || tag == nullptr)
        return false;
    const std::optional<LockedFrame> f = LockFrame(index);
    if (!f)
        return false;
    *pixels = f->pixels;
    *palette = f->palette;
    *width = f->width;
    *height = f->height;
    *colorCount = f->colorCount;
    *tag = f->tag;
    return true;
}

bool cDllManager::SaveFramesWith(const char* extension, SAVE_FRAME* first,
                                 std::span<const int> transparency) {
    return save(FindByExtension(extension), Export::SaveObject, first, transparency);
}

bool cDllManager::SaveAnimWith(const char* extension, SAVE_FRAME* first,
                               std::span<const int> transparency) {
    return save(FindByExtension(extension), Export::SaveAnim, first, transparency);
}
