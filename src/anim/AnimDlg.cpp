#include "anim/AnimDlg.h"

#include "app/ObjectManager.h"
#include "platform/WindowPlacement.h"

#include <QCloseEvent>
#include <QIcon>
#include <QVBoxLayout>

TPz4AnimDlg::TPz4AnimDlg(QWidget* parent, cObjectManager* objectManager, AnimatorPrompts prompts)
    : ToolDialog(parent, closing::AnimClosed,
                 Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                     Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                     Qt::WindowCloseButtonHint),
      objectManager_(objectManager), client_(new TPz4AnimDlgClient(this, objectManager, prompts)) {
    setWindowTitle(QStringLiteral("Animator..."));
    setWindowIcon(QIcon(QStringLiteral(":/icons/800.png")));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(client_);
    // Sized to its client, and the user cannot resize it.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    PlaceWindow(this, QPoint(objectManager_->AnX, objectManager_->AnY));
    tracker_ = new PositionTracker(this);
}

TPz4AnimDlg::~TPz4AnimDlg() {
    // A window closed earlier stored its place then; one destroyed directly does it now.
    if (!closed())
        storePosition();
}

void TPz4AnimDlg::closeEvent(QCloseEvent* event) {
    ToolDialog::closeEvent(event);
    // The player goes with the animator, at once: the file its frames came from
    // may be closed before this window is disposed of.
    client_->closePlayer();
}

void TPz4AnimDlg::storePosition() {
    const QPoint p = tracker_->position();
    objectManager_->AnX = p.x();
    objectManager_->AnY = p.y();
}
