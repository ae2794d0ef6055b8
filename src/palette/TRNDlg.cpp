#include "palette/TRNDlg.h"

#include "app/ObjectManager.h"
#include "palette/TRNDlgClient.h"
#include "platform/WindowPlacement.h"

TPz4TRNDlg::TPz4TRNDlg(QWidget* parent, cObjectManager* objectManager, Prompts& prompts,
                       FileDialogState& loadState)
    : FramedToolWindow(parent, closing::TrnClosed, QStringLiteral("Color Translation")),
      objectManager_(objectManager),
      client_(new TPz4TRNDlgClient(this, objectManager, prompts, loadState)) {
    setClient(client_);
    if (objectManager_->restorePositions)
        PlaceWindow(this, QPoint(objectManager_->TRNX, objectManager_->TRNY));
}

TPz4TRNDlg::~TPz4TRNDlg() {
    // A window closed earlier stored its position then; a later one may have stored since.
    if (!closed())
        storePosition();
}

void TPz4TRNDlg::storePosition() {
    const QPoint p = recordedPosition();
    objectManager_->TRNX = p.x();
    objectManager_->TRNY = p.y();
}
