#include "palette/ui/PALDlg.h"

#include "context/ObjectManager.h"
#include "palette/ui/PALDlgClient.h"

TPz4PALDlg::TPz4PALDlg(QWidget* parent, cObjectManager* objectManager, Prompts& prompts,
                       FileDialogState& loadState)
    : FramedToolWindow(parent, closing::PaletteClosed, QStringLiteral("Palette")),
      client_(new TPz4PALDlgClient(this, objectManager, prompts, loadState)) {
    setClient(client_);
    keepPositionIn(objectManager->PaX, objectManager->PaY, objectManager->restorePositions);
}
