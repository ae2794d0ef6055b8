#pragma once

#include "platform/FramedToolWindow.h"

class Prompts;
class TPz4PALDlgClient;
class cObjectManager;
struct FileDialogState;

// The palette window: "Palette", placed at its saved position, its client the
// palette dialog. Closing stores PaX/PaY and tells the main window once.
class TPz4PALDlg : public FramedToolWindow {
    Q_OBJECT
public:
    TPz4PALDlg(QWidget* parent, cObjectManager* objectManager, Prompts& prompts,
               FileDialogState& loadState);

    TPz4PALDlgClient* client() const { return client_; }

private:
    TPz4PALDlgClient* client_;
};
