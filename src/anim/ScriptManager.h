#pragma once

#include "anim/ScriptList.h"
#include "frames/JqString.h"

#include <memory>

// One loaded animation script (".scp"): which frames an animation shows, in
// which order, and how each is mirrored. Read once, at construction.
class cScriptManager {
public:
    static constexpr int32_t kMaxFrameNumber = 1024;
    // Longest line the reader hands over, line feed included; the rest of a
    // longer line is read as further lines.
    static constexpr int kLineLimit = 1021;

    explicit cScriptManager(const char* path);
    cScriptManager(const cScriptManager&) = delete;
    cScriptManager& operator=(const cScriptManager&) = delete;

    JqString fileName;
    // The steps in file order, or null when the script is not valid (it could
    // not be read, had no step, or named a frame out of range).
    std::unique_ptr<cScriptList> steps;
    // Why the load failed: "File not found !" or "Index out of range in Line "
    // and four digits; empty when there is nothing to say.
    JqString errorText;

private:
    void SetError(const char* text) { errorText.Assign(text); }
};
