#pragma once

#include <QPointer>
#include <memory>

class QWidget;
class Prompts;
class TPz4ViewWin;
class cFrameList;
class cIntList;
class cObjectManager;

// Made by the View command for one selection: locks the selected frames into a
// chain and opens the viewer, which owns the chain from then on. It never closes
// or deletes the viewer; the main window deletes it when the viewer reports its
// closing, or directly when no viewer could be opened.
class cViewManager {
public:
    // `indices`: the selected frame numbers, ascending, owned from now on. When
    // no frame can be locked, says "Can't create FrameList !" over `parent` and
    // opens nothing.
    cViewManager(QWidget* parent, std::unique_ptr<cIntList> indices, cObjectManager* objectManager,
                 Prompts& prompts);
    ~cViewManager();
    cViewManager(const cViewManager&) = delete;
    cViewManager& operator=(const cViewManager&) = delete;

    // The viewer it opened; null when none was opened or it is gone.
    TPz4ViewWin* window() const { return window_; }

    // A chain of the frames the plug-in hands out for `indices`, in their order,
    // the program's current palette standing in where a frame brings none. Frames
    // the plug-in refuses are left out, the first one included; null when none
    // could be locked.
    static std::unique_ptr<cFrameList> LockFrames(const cIntList* indices,
                                                  cObjectManager& objectManager);

private:
    QPointer<TPz4ViewWin> window_;
};
