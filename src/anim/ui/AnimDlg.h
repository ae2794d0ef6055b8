#pragma once

#include "anim/ui/AnimDlgClient.h"
#include "platform/FramedToolWindow.h"

class cObjectManager;

// The animator window: a fixed-size frame around the animator's controls. At
// most one exists; the main window makes a fresh one for every Anim press.
class TPz4AnimDlg : public FramedToolWindow {
    Q_OBJECT
public:
    TPz4AnimDlg(QWidget* parent, cObjectManager* objectManager, AnimatorPrompts prompts);

    TPz4AnimDlgClient* client() const { return client_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    TPz4AnimDlgClient* client_;
};
