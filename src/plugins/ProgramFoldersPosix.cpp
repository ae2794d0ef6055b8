#include "plugins/ProgramFolders.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

// $NAME when it holds an absolute path (the base directory rules ignore a
// relative one), else $HOME/fallback; empty without either.
std::string baseFolder(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] == '/')
        return value;
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/')
        return {};
    return (std::filesystem::path(home) / fallback).string();
}

} // namespace

std::string executableFolder() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

std::string userDataFolder() {
    return baseFolder("XDG_DATA_HOME", ".local/share");
}

std::string userConfigFolder() {
    return baseFolder("XDG_CONFIG_HOME", ".config");
}

char pathListSeparator() {
    return ':';
}
