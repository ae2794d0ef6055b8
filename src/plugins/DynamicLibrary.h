#pragma once

#include <memory>
#include <string>
#include <vector>

// A loaded shared library (dlopen / LoadLibrary), released on destruction.
class DynamicLibrary {
public:
    // Loads the library at `path` as given (never through the library search
    // path). Null on failure, with the operating system's reason in `error`.
    static std::unique_ptr<DynamicLibrary> open(const std::string& path, std::string& error);
    // The handle of the library at `path` if the process already holds it, else null.
    static std::unique_ptr<DynamicLibrary> openIfLoaded(const std::string& path);

    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // The address of an exported symbol, or null.
    void* symbol(const char* name) const;

private:
    explicit DynamicLibrary(void* handle) : handle_(handle) {}
    void* handle_;
};

// The platform's library file suffix: ".so", or ".dll" on Windows.
const char* librarySuffix();

// File names of the plug-in libraries in `directory`: "pz*" + the platform's
// library suffix, case-insensitive, ordinary files only, sorted by name.
std::vector<std::string> listPluginFiles(const std::string& directory);
