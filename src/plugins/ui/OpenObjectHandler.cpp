#include "plugins/ui/OpenObjectHandler.h"

#include "context/ObjectManager.h"
#include "platform/Prompts.h"
#include "plugins/FileTypes.h"

cOpenObjectHandler::cOpenObjectHandler(QWidget* parent, cObjectManager* objectManager,
                                       Prompts& prompts, FileDialogState& state) {
    // The entry chosen plays no part: the load picks its plug-in from the path.
    const auto choice =
        prompts.openFile(parent, BuildFilter(*objectManager->dllManager, FileKind::Any), state);
    if (choice)
        path_.Assign(choice->path.c_str());
}
