#pragma once

#include "frames/JqString.h"

class QWidget;
class Prompts;
class cObjectManager;
struct FileDialogState;

// Asks, at once, for a file to load, offering the formats of every plug-in found.
class cOpenObjectHandler {
public:
    // `state` is this question's dialog memory, kept by the caller for the whole run.
    cOpenObjectHandler(QWidget* parent, cObjectManager* objectManager, Prompts& prompts,
                       FileDialogState& state);

    // The chosen full path, or null when the user cancelled.
    const char* GetPath() const { return path_.text(); }

private:
    JqString path_;
};
