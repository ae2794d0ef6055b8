#pragma once

#include "platform/FramedToolWindow.h"

class Prompts;
class TPz4TRNDlgClient;
class cObjectManager;
struct FileDialogState;

// The colour translation window: "Color Translation", placed at its saved
// position, its client the translation dialog. Closing stores TRNX/TRNY and
// tells the main window once.
class TPz4TRNDlg : public FramedToolWindow {
    Q_OBJECT
public:
    TPz4TRNDlg(QWidget* parent, cObjectManager* objectManager, Prompts& prompts,
               FileDialogState& loadState);

    TPz4TRNDlgClient* client() const { return client_; }

private:
    TPz4TRNDlgClient* client_;
};
