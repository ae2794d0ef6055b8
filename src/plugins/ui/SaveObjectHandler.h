#pragma once

#include "frames/JqString.h"
#include "plugins/FileTypes.h"

class QWidget;
class Prompts;
class cObjectManager;
struct FileDialogState;

// Asks, at once, where to save and through which plug-in, offering the plug-ins
// that can save `kind`.
class cSaveObjectHandler {
public:
    cSaveObjectHandler(QWidget* parent, cObjectManager* objectManager, FileKind kind,
                       Prompts& prompts, FileDialogState& state);

    // The chosen path without a typed three-letter extension, or null when cancelled.
    const char* GetPath() const { return path_.text(); }
    // The chosen plug-in's extension, or null when the entry named no plug-in.
    const char* GetChosenExtension() const { return extension_.text(); }

private:
    JqString path_;
    JqString extension_;
};
