#include "plugins/DynamicLibrary.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

#ifdef _WIN32
constexpr const char* kLibrarySuffix = ".dll";
constexpr char kSeparator = '\\';
constexpr const char* kFolderSeparators = "/\\";
#else
constexpr const char* kLibrarySuffix = ".so";
constexpr char kSeparator = '/';
// A backslash is part of a file name here, and makes no path of it for dlopen.
constexpr const char* kFolderSeparators = "/";
#endif

// A bare file name would send the loader through its search path, where a
// library of the same name elsewhere could answer instead of the one listed.
std::string pathInWorkingDirectory(const std::string& path) {
    if (path.find_first_of(kFolderSeparators) != std::string::npos)
        return path;
    return std::string(".") + kSeparator + path;
}

std::string upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool isPluginName(const std::string& name) {
    const std::string prefix = "PZ";
    const std::string suffix = upper(kLibrarySuffix);
    if (name.size() < prefix.size() + suffix.size())
        return false;
    const std::string u = upper(name);
    return u.compare(0, prefix.size(), prefix) == 0 &&
           u.compare(u.size() - suffix.size(), suffix.size(), suffix) == 0;
}

#ifdef _WIN32
std::string lastErrorText() {
    const DWORD code = GetLastError();
    char* buffer = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text =
        n != 0 && buffer != nullptr ? std::string(buffer, n) : "error " + std::to_string(code);
    if (buffer != nullptr)
        LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}
#endif

} // namespace

std::unique_ptr<DynamicLibrary> DynamicLibrary::open(const std::string& path, std::string& error) {
    const std::string where = pathInWorkingDirectory(path);
#ifdef _WIN32
    // No "cannot load" dialog from the system for a broken library.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE handle = LoadLibraryA(where.c_str());
    const std::string reason = handle == nullptr ? lastErrorText() : std::string();
    SetErrorMode(previous);
    if (handle == nullptr) {
        error = reason;
        return nullptr;
    }
#else
    dlerror();
    // RTLD_LOCAL: every plug-in exports the same names, and each must answer
    // for itself.
    void* handle = dlopen(where.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error = reason != nullptr ? reason : "cannot load " + where;
        return nullptr;
    }
#endif
    error.clear();
    return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(reinterpret_cast<void*>(handle)));
}

std::unique_ptr<DynamicLibrary> DynamicLibrary::openIfLoaded(const std::string& path) {
    const std::string where = pathInWorkingDirectory(path);
#ifdef _WIN32
    // GetModuleHandleEx (unlike GetModuleHandle) takes a reference, so the
    // FreeLibrary in the destructor stays balanced. It matches full paths of
    // loaded modules, not relative ones.
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(where, ec);
    HMODULE handle = nullptr;
    if (ec || !GetModuleHandleExA(0, full.string().c_str(), &handle) || handle == nullptr)
        return nullptr;
#else
    // RTLD_NOLOAD answers with a new reference to the library already mapped
    // from that file, and loads nothing.
    void* handle = dlopen(where.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
    if (handle == nullptr) {
        dlerror();
        return nullptr;
    }
#endif
    return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(reinterpret_cast<void*>(handle)));
}

DynamicLibrary::~DynamicLibrary() {
#ifdef _WIN32
    FreeLibrary(reinterpret_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
}

void* DynamicLibrary::symbol(const char* name) const {
    if (name == nullptr)
        return nullptr;
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle_), name));
#else
    dlerror();
    return dlsym(handle_, name);
#endif
}

std::vector<std::string> listPluginFiles(const std::string& directory) {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError))
            continue;
        std::string name = it->path().filename().string();
        if (isPluginName(name))
            names.push_back(std::move(name));
    }
    // The order a case-insensitive file system lists them in; byte order only
    // separates names that differ in case alone.
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::string ua = upper(a);
        const std::string ub = upper(b);
        return ua != ub ? ua < ub : a < b;
    });
    return names;
}
