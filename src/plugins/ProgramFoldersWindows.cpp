#include "plugins/ProgramFolders.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace {

std::string environmentFolder(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

} // namespace

std::string executableFolder() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD n =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size())
            return std::filesystem::path(std::string(buffer.data(), n)).parent_path().string();
        buffer.resize(buffer.size() * 2);
    }
}

std::string userDataFolder() {
    return environmentFolder("LOCALAPPDATA");
}

std::string userConfigFolder() {
    return environmentFolder("APPDATA");
}

char pathListSeparator() {
    return ';';
}
