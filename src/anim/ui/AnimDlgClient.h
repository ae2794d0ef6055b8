#pragma once

#include "display/ui/AnimWin.h"
#include "platform/ToolDialog.h"

#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;
class Prompts;
class cFrameList;
class cObjectManager;
struct FileDialogState;

// What the animator asks its user through. The dialog states belong to the main
// window, so each dialog reopens where it was left for the whole run, across
// animator windows; the save dialog's is the one the Save command uses too.
struct AnimatorPrompts {
    Prompts& prompts;
    FileDialogState& saveState;
    FileDialogState& scriptState;
};

// The animator's controls: a frame range or the loaded script, the speed, and
// Play, Stop/Cont, Save. It owns the running player's window (as its parent)
// and hears of its closing.
class TPz4AnimDlgClient : public QWidget, public ClosingReceiver {
    Q_OBJECT
public:
    static constexpr int FrameFromLabelId = 412;
    static constexpr int FromLabelId = 425;
    static constexpr int FromId = 601;
    static constexpr int ToLabelId = 414;
    static constexpr int ToId = 602;
    static constexpr int SpeedLabelId = 410;
    static constexpr int MinusId = 115;
    static constexpr int SpeedId = 603;
    static constexpr int PlusId = 114;
    static constexpr int ScriptCheckId = 701;
    static constexpr int LoadScriptId = 113;
    static constexpr int LineId = 426;
    static constexpr int PlayId = 112;
    static constexpr int StopId = 111;
    static constexpr int SaveId = 102;
    static constexpr int ExitId = 110;

    static constexpr int MaxSpeed = 10;
    static constexpr int SpeedDigits = 2;
    // Frame numbers are written with at least this many digits, and with as many
    // as the file's last frame number has, so every frame can be typed.
    static constexpr int MinFrameDigits = 3;

    TPz4AnimDlgClient(QWidget* parent, cObjectManager* objectManager, AnimatorPrompts prompts);
    ~TPz4AnimDlgClient() override;

    void FillEdits();
    void IncreaseSpeed();
    void DecreaseSpeed();
    void CheckSpeed();
    void CheckFrom();
    void CheckTo();
    void Play();
    void ToggleStop();
    void PlayerClosed();
    void LoadScript();
    void Save();
    // Closes the running player, if any.
    void closePlayer();

    void closingNotification(int message) override;

    TPz4AnimWin* player() const { return player_; }
    bool paused() const { return paused_; }
    int frameDigits() const { return frameDigits_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What Load Script does with the file chosen, and what a file dropped on the
    // animator does.
    void loadScriptPath(const std::string& path);
    // The frames of the range or of the script; null (after saying why, for a
    // script) when there are none.
    std::unique_ptr<cFrameList> BuildFrameChain();
    int ReadNumber(const QLineEdit* edit) const;
    void setSpeed(int v);
    void message(const char* text, const char* caption = "Error");

    cObjectManager* objectManager_;
    AnimatorPrompts prompts_;
    bool firstPaint_ = true;
    bool paused_ = false;
    QPointer<TPz4AnimWin> player_;
    int frameDigits_;
    QCheckBox* scriptCheck_;
    QLineEdit* speedEdit_;
    QLineEdit* fromEdit_;
    QLineEdit* toEdit_;
    QPushButton* stopButton_;
};
