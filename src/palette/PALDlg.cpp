#include "palette/PALDlg.h"

#include "app/ObjectManager.h"
#include "palette/PALDlgClient.h"
#include "platform/WindowPlacement.h"

TPz4PALDlg::TPz4PALDlg(QWidget* parent, cObjectManager* objectManager, Prompts& prompts,
                       FileDialogState& loadState)
    : FramedToolWindow(parent, closing::PaletteClosed, QStringLiteral("Palette")),
      objectManager_(objectManager),
      client_(new TPz4PALDlgClient(this, objectManager, prompts, loadState)) {
    setClient(client_);
    if (objectManager_->restorePositions)
        PlaceWindow(this, QPoint(objectManager_->PaX, objectManager_->PaY));
}

TPz4PALDlg::~TPz4PALDlg() {
    // A window closed earlier stored its position then; a later one may have stored since.
    if (!closed())
        storePosition();
}

void TPz4PALDlg::storePosition() {
    const QPoint p = recordedPosition();
    objectManager_->PaX = p.x();
    objectManager_->PaY = p.y();
}
