#include "plugins/ui/SaveObjectHandler.h"

#include "context/ObjectManager.h"
#include "platform/Prompts.h"

cSaveObjectHandler::cSaveObjectHandler(QWidget* parent, cObjectManager* objectManager,
                                       FileKind kind, Prompts& prompts, FileDialogState& state) {
    const cDllManager& plugins = *objectManager->dllManager;
    const auto choice = prompts.saveFile(parent, BuildFilter(plugins, kind), state);
    if (!choice)
        return;
    path_.Assign(choice->path.c_str());
    // The extension comes from the entry alone, whatever the user typed.
    if (const char* ext = ExtensionOfEntry(plugins, kind, choice->entry))
        extension_.Assign(ext);
    // A typed three-letter extension gives way to the plug-in's; longer or
    // shorter ones are part of the name.
    const int n = path_.length();
    if (n >= 4 && path_.c_str()[n - 4] == '.')
        path_.Truncate(n - 4);
}
