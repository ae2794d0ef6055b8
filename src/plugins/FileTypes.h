#pragma once

#include <string>

class cDllManager;

// Which plug-ins a file dialog offers.
enum class FileKind : int {
    Any = 0,    // every plug-in found, for opening
    Frames = 1, // plug-ins that save frames
    Anim = 2,   // plug-ins that save animations
};

// "all Files (*.*)|*.*" followed by "|<description> (*.<ext>)|*.<ext>" for each
// plug-in of the kind, in scan order. Missing texts leave their places empty.
std::string BuildFilter(const cDllManager& plugins, FileKind kind);

// The extension of the plug-in behind filter entry `entry` (counted from 1, the
// first being "all Files"), or null when the entry names no plug-in.
const char* ExtensionOfEntry(const cDllManager& plugins, FileKind kind, int entry);
