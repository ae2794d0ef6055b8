#include "display/ui/ViewManager.h"

#include "anim/AnimChain.h"
#include "context/ObjectManager.h"
#include "display/ui/ViewWin.h"
#include "frames/FrameList.h"
#include "frames/IntList.h"
#include "palette/PalManager.h"
#include "platform/Prompts.h"
#include "plugins/DllManager.h"

namespace {

// Shared, so the frame keeps its colours when the palette is replaced while the
// viewer is open.
std::shared_ptr<unsigned char[]> currentPalette(const cObjectManager& objectManager) {
    return objectManager.palManager ? objectManager.palManager->colors : nullptr;
}

} // namespace

cViewManager::cViewManager(QWidget* parent, std::unique_ptr<cIntList> indices,
                           cObjectManager* objectManager, Prompts& prompts) {
    std::unique_ptr<cFrameList> frames = LockFrames(indices.get(), *objectManager);
    if (!frames) {
        prompts.message(parent, "Can't create FrameList !", "Error");
        return;
    }
    window_ = new TPz4ViewWin(parent, objectManager, std::move(frames));
    window_->showNormal();
}

cViewManager::~cViewManager() = default;

std::unique_ptr<cFrameList> cViewManager::LockFrames(const cIntList* indices,
                                                     cObjectManager& objectManager) {
    if (!objectManager.dllManager)
        return nullptr;
    return LockFrameList(*objectManager.dllManager, currentPalette(objectManager), indices);
}
