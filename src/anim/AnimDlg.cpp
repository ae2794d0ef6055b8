#include "anim/AnimDlg.h"

#include "app/ObjectManager.h"
#include "platform/WindowPlacement.h"

#include <QCloseEvent>

TPz4AnimDlg::TPz4AnimDlg(QWidget* parent, cObjectManager* objectManager, AnimatorPrompts prompts)
    : FramedToolWindow(parent, closing::AnimClosed, QStringLiteral("Animator...")),
      objectManager_(objectManager),
      client_(new TPz4AnimDlgClient(this, objectManager, prompts)) {
    setClient(client_);
    if (objectManager_->restorePositions)
        PlaceWindow(this, QPoint(objectManager_->AnX, objectManager_->AnY));
}

TPz4AnimDlg::~TPz4AnimDlg() {
    // A window closed earlier stored its place then; one destroyed directly does it now.
    if (!closed())
        storePosition();
}

void TPz4AnimDlg::closeEvent(QCloseEvent* event) {
    FramedToolWindow::closeEvent(event);
    // The player goes with the animator, at once: the file its frames came from
    // may be closed before this window is disposed of.
    client_->closePlayer();
}

void TPz4AnimDlg::storePosition() {
    const QPoint p = recordedPosition();
    objectManager_->AnX = p.x();
    objectManager_->AnY = p.y();
}
