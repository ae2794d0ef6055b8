#include "anim/ui/AnimDlg.h"

#include "context/ObjectManager.h"

#include <QCloseEvent>

TPz4AnimDlg::TPz4AnimDlg(QWidget* parent, cObjectManager* objectManager, AnimatorPrompts prompts)
    : FramedToolWindow(parent, closing::AnimClosed, QStringLiteral("Animator...")),
      client_(new TPz4AnimDlgClient(this, objectManager, prompts)) {
    setClient(client_);
    keepPositionIn(objectManager->AnX, objectManager->AnY, objectManager->restorePositions);
}

void TPz4AnimDlg::closeEvent(QCloseEvent* event) {
    FramedToolWindow::closeEvent(event);
    // The player goes with the animator, at once: the file its frames came from
    // may be closed before this window is disposed of.
    client_->closePlayer();
}
