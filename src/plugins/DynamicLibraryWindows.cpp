#include "plugins/DynamicLibrary.h"

#include <filesystem>
#include <system_error>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace {

// A bare file name would send the loader through its search path, where a
// library of the same name elsewhere could answer instead of the one listed.
std::string pathInWorkingDirectory(const std::string& path) {
    return path.find_first_of("/\\") != std::string::npos ? path : ".\\" + path;
}

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

} // namespace

const char* librarySuffix() {
    return ".dll";
}

std::unique_ptr<DynamicLibrary> DynamicLibrary::open(const std::string& path, std::string& error) {
    const std::string where = pathInWorkingDirectory(path);
    // No "cannot load" dialog from the system for a broken library.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE handle = LoadLibraryA(where.c_str());
    const std::string reason = handle == nullptr ? lastErrorText() : std::string();
    SetErrorMode(previous);
    if (handle == nullptr) {
        error = reason;
        return nullptr;
    }
    error.clear();
    return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(reinterpret_cast<void*>(handle)));
}

std::unique_ptr<DynamicLibrary> DynamicLibrary::openIfLoaded(const std::string& path) {
    // GetModuleHandleEx (unlike GetModuleHandle) takes a reference, so the
    // FreeLibrary in the destructor stays balanced. It matches full paths of
    // loaded modules, not relative ones.
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(pathInWorkingDirectory(path), ec);
    HMODULE handle = nullptr;
    if (ec || !GetModuleHandleExA(0, full.string().c_str(), &handle) || handle == nullptr)
        return nullptr;
    return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(reinterpret_cast<void*>(handle)));
}

DynamicLibrary::~DynamicLibrary() {
    FreeLibrary(reinterpret_cast<HMODULE>(handle_));
}

void* DynamicLibrary::symbol(const char* name) const {
    if (name == nullptr)
        return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle_), name));
}
