#include "display/ViewManager.h"

#include "app/ObjectManager.h"
#include "display/ViewWin.h"
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
                           cObjectManager* objectManager, Prompts& prompts)
    : objectManager_(objectManager), indices_(std::move(indices)), parent_(parent) {
    std::unique_ptr<cFrameList> frames = LockFrames(indices_.get(), *objectManager_);
    if (!frames) {
        prompts.message(parent_, "Can't create FrameList !", "Error");
        return;
    }
    window_ = new TPz4ViewWin(parent_, objectManager_, std::move(frames));
    window_->showNormal();
}

cViewManager::~cViewManager() = default;

std::unique_ptr<cFrameList> cViewManager::LockFrames(const cIntList* indices,
                                                     cObjectManager& objectManager) {
    std::unique_ptr<cFrameList> first;
    cFrameList* previous = nullptr;
    if (!objectManager.dllManager)
        return first;
    cDllManager& plugins = *objectManager.dllManager;
    // Walked node by node: Get(i) would start from the head for every frame.
    for (const cIntList* at = indices; at; at = at->next.get()) {
        const std::optional<LockedFrame> f = plugins.LockFrame(at->value);
        if (!f)
            continue;
        // Each node is owned by the one before it; the first by `first`, from the
        // moment it exists, so nothing is lost whichever frames are refused.
        cFrameList* node;
        if (f->palette)
            node = new cFrameList(previous, f->pixels, f->palette, f->width, f->height, f->tag,
                                  at->value, 0);
        else
            node = new cFrameList(previous, f->pixels, currentPalette(objectManager), f->width,
                                  f->height, f->tag, at->value, 0);
        if (!first)
            first.reset(node);
        previous = node;
    }
    return first;
}
