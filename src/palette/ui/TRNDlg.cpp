#include "palette/ui/TRNDlg.h"

#include "context/ObjectManager.h"
#include "palette/ui/TRNDlgClient.h"

TPz4TRNDlg::TPz4TRNDlg(QWidget* parent, cObjectManager* objectManager, Prompts& prompts,
                       FileDialogState& loadState)
    : FramedToolWindow(parent, closing::TrnClosed, QStringLiteral("Color Translation")),
      client_(new TPz4TRNDlgClient(this, objectManager, prompts, loadState)) {
    setClient(client_);
    keepPositionIn(objectManager->TRNX, objectManager->TRNY, objectManager->restorePositions);
}
