#pragma once

#include <string>
#include <vector>

// Where the running program lives and where its user's files go, as the
// platform has it. Paths are absolute; empty when the platform cannot say.

// The folder holding the running executable.
std::string executableFolder();
// The user's folder for program data: $XDG_DATA_HOME, else ~/.local/share
// (on Windows %LOCALAPPDATA%).
std::string userDataFolder();
// The user's folder for settings: $XDG_CONFIG_HOME, else ~/.config (on Windows
// %APPDATA%).
std::string userConfigFolder();
// What separates the folders of a search path variable: ':', or ';' on Windows.
char pathListSeparator();

// The folders plug-ins are loaded from, in order, none twice:
//   the folders of `pluginPath` (PZ4_PLUGIN_PATH), made absolute against `workingFolder`;
//   `userData`/pz4/plugins;
//   `installedFolder` (the installed plug-ins, found from the executable);
//   `workingFolder`, but only when it is `executableDir` (a portable copy with its
//   plug-ins beside the program): a library left in the folder of a file being
//   opened must never run.
// Folders are compared as the file system resolves them; empty ones are skipped.
std::vector<std::string> pluginFolders(const char* pluginPath, const std::string& userData,
                                       const std::string& installedFolder,
                                       const std::string& executableDir,
                                       const std::string& workingFolder);
// The same for this process: its environment, its executable and its working folder.
std::vector<std::string> pluginFolders();
