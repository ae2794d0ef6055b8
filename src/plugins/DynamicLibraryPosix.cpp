#include "plugins/DynamicLibrary.h"

#include <dlfcn.h>

namespace {

// A bare file name would send the loader through its search path, where a
// library of the same name elsewhere could answer instead of the one listed.
// A backslash is part of a file name here, and makes no path of it.
std::string pathInWorkingDirectory(const std::string& path) {
    return path.find('/') != std::string::npos ? path : "./" + path;
}

} // namespace

const char* librarySuffix() {
    return ".so";
}

std::unique_ptr<DynamicLibrary> DynamicLibrary::open(const std::string& path, std::string& error) {
    const std::string where = pathInWorkingDirectory(path);
    dlerror();
    // RTLD_LOCAL: every plug-in exports the same names, and each must answer
    // for itself.
    void* handle = dlopen(where.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error = reason != nullptr ? reason : "cannot load " + where;
        return nullptr;
    }
    error.clear();
    return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(handle));
}

std::unique_ptr<DynamicLibrary> DynamicLibrary::openIfLoaded(const std::string& path) {
    // RTLD_NOLOAD answers with a new reference to the library already mapped
    // from that file, and loads nothing.
    void* handle =
        dlopen(pathInWorkingDirectory(path).c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
    if (handle == nullptr) {
        dlerror();
        return nullptr;
    }
    return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(handle));
}

DynamicLibrary::~DynamicLibrary() {
    dlclose(handle_);
}

void* DynamicLibrary::symbol(const char* name) const {
    if (name == nullptr)
        return nullptr;
    dlerror();
    return dlsym(handle_, name);
}
