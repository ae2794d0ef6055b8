#include "plugins/ProgramFolders.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The installed plug-ins' folder relative to the executable's, fixed by the build
// ("../lib/pz4/plugins"), so a staged or relocated install still finds its own.
#ifndef PZ4_PLUGINS_FROM_BIN
#define PZ4_PLUGINS_FROM_BIN "../lib/pz4/plugins"
#endif

// The folder as the file system resolves it, for comparing; itself when it does
// not exist.
std::string resolved(const std::string& folder) {
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(folder, ec);
    return ec ? folder : canonical.string();
}

} // namespace

std::vector<std::string> pluginFolders(const char* pluginPath, const std::string& userData,
                                       const std::string& installedFolder,
                                       const std::string& executableDir,
                                       const std::string& workingFolder) {
    std::vector<std::string> candidates;
    if (pluginPath != nullptr) {
        const std::string list = pluginPath;
        size_t start = 0;
        while (start <= list.size()) {
            size_t end = list.find(pathListSeparator(), start);
            if (end == std::string::npos)
                end = list.size();
            const std::string entry = list.substr(start, end - start);
            if (!entry.empty())
                candidates.push_back((fs::path(workingFolder) / entry).lexically_normal().string());
            start = end + 1;
        }
    }
    if (!userData.empty())
        candidates.push_back((fs::path(userData) / "pz4" / "plugins").string());
    candidates.push_back(installedFolder);
    if (!executableDir.empty() && !workingFolder.empty() &&
        resolved(executableDir) == resolved(workingFolder))
        candidates.push_back(workingFolder);

    std::vector<std::string> folders, seen;
    for (const std::string& folder : candidates) {
        if (folder.empty())
            continue;
        const std::string key = resolved(folder);
        bool again = false;
        for (const std::string& s : seen)
            again = again || s == key;
        if (again)
            continue;
        seen.push_back(key);
        folders.push_back(resolved(folder));
    }
    return folders;
}

std::vector<std::string> pluginFolders() {
    const std::string exe = executableFolder();
    std::error_code ec;
    const std::string cwd = fs::current_path(ec).string();
    const std::string installed =
        exe.empty() ? std::string()
                    : (fs::path(exe) / PZ4_PLUGINS_FROM_BIN).lexically_normal().string();
    return pluginFolders(std::getenv("PZ4_PLUGIN_PATH"), userDataFolder(), installed, exe,
                         ec ? std::string() : cwd);
}
