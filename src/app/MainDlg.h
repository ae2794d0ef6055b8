#pragma once

#include "frames/ui/ListDlg.h"
#include "platform/Prompts.h"
#include "platform/ToolDialog.h"

#include <QPointer>
#include <QWidget>
#include <memory>

class cObjectManager;
class cViewManager;
class PositionTracker;

// The main button bar: the one window present from start to end. It owns the
// shared context and keeps one reference to each open tool window, which it
// forgets when that window reports its closing.
class TPz4MainDlg : public QWidget, public ClosingReceiver {
    Q_OBJECT
public:
    static constexpr int LoadId = 101;
    static constexpr int SaveId = 102;
    static constexpr int InfoId = 103;
    static constexpr int ViewId = 104;
    static constexpr int AnimId = 105;
    static constexpr int TrnId = 107;
    static constexpr int PaletteId = 108;
    static constexpr int ExitId = 110;

    // Builds the object manager before any window shows. Without `prompts` the
    // user is asked through Qt's dialogs.
    explicit TPz4MainDlg(QWidget* parent = nullptr, std::unique_ptr<Prompts> prompts = nullptr);
    ~TPz4MainDlg() override;

    // Asks for a file and loads it.
    void CmLoad();
    void CmSave();
    void CmView();
    void CmAnim();
    void CmInfo();
    void CmTrn();
    void CmPalette();
    void CmExit();

    // Load with the path chosen: what the Load button does once the dialog has
    // answered, what a file dropped on the window does, and what a file named on
    // the command line does. A file no plug-in reads is reported as Load reports
    // it, with the plug-in's reason, when it gives one, as the detail.
    void LoadFile(const char* path);

    void closingNotification(int message) override;

    cObjectManager* objectManager() const { return objectManager_.get(); }
    TPz4ListDlg* listDlg() const { return listDlg_; }
    cViewManager* viewManager() const { return viewManager_.get(); }
    ToolDialog* animDlg() const { return animDlg_; }
    ToolDialog* infoDlg() const { return infoDlg_; }
    ToolDialog* palDlg() const { return palDlg_; }
    ToolDialog* trnDlg() const { return trnDlg_; }

private:
    void EvInfoClosed() { infoDlg_ = nullptr; }
    void EvListClosed() { listDlg_ = nullptr; }
    void EvViewClosed();
    void EvAnimClosed() { animDlg_ = nullptr; }
    void EvPaletteClosed() { palDlg_ = nullptr; }
    void EvTrnClosed() { trnDlg_ = nullptr; }

    // Copies the position last recorded for the main window into MaX/MaY.
    void recordPosition();
    void setTitle(const char* path);
    void message(const char* text, const char* caption = "Error", const std::string& detail = {});
    // Closes the viewer, which makes it report 997 and so deletes the view
    // manager; a view manager that opened no viewer is deleted here.
    void closeViewer();

    std::unique_ptr<Prompts> prompts_;
    // The dialogs' memory of the last choice, for the whole run.
    FileDialogState openState_;
    FileDialogState saveState_;
    FileDialogState scriptState_;
    FileDialogState paletteState_;
    FileDialogState trnState_;

    QPointer<ToolDialog> infoDlg_;
    QPointer<TPz4ListDlg> listDlg_;
    QPointer<ToolDialog> animDlg_;
    QPointer<ToolDialog> palDlg_;
    QPointer<ToolDialog> trnDlg_;
    std::unique_ptr<cViewManager> viewManager_;
    std::unique_ptr<cObjectManager> objectManager_;
    PositionTracker* tracker_;
};
