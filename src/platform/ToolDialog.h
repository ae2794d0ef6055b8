#pragma once

#include <QDialog>

class PositionTracker;

// The private messages a tool window sends its parent, once and synchronously,
// as it closes, after it has stored its position.
namespace closing {
inline constexpr int InfoClosed = 999;
inline constexpr int ListClosed = 998;
inline constexpr int ViewClosed = 997;
inline constexpr int AnimClosed = 996;
inline constexpr int PaletteClosed = 995;
inline constexpr int TrnClosed = 994;
} // namespace closing

// A window that tool windows report their closing to.
class ClosingReceiver {
public:
    virtual void closingNotification(int message) = 0;

protected:
    ~ClosingReceiver() = default;
};

// A modeless tool window. Enter and Escape (the dialog's OK and Cancel) never
// close it; a close request stores the position and notifies the parent once,
// and the window is then disposed of.
class ToolDialog : public QDialog {
    Q_OBJECT
public:
    // What a window still open does with its position when it is destroyed.
    enum class OpenAtEnd { StoresPosition, KeepsSavedPosition };

    ToolDialog(QWidget* parent, int closingMessage, Qt::WindowFlags flags);
    // A top-level window titled `title` with the program's icon, a system menu
    // and minimise and close boxes, but no maximise box.
    ToolDialog(QWidget* parent, int closingMessage, const QString& title);
    ~ToolDialog() override;

    void accept() override {}
    void reject() override {}

    // The close request: the same as the window system's.
    void Close();

    // The close request has run: the window is going.
    bool closed() const { return closeNotified_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    // Copies the window's position into the shared context: by default into the
    // fields given to keepPositionIn.
    virtual void storePosition();
    // The window's position lives in x and y, which outlive the window: with
    // `placeThere` the window moves there now (so give it its contents and size
    // first), then its position is tracked and written there as it closes.
    void keepPositionIn(int& x, int& y, bool placeThere,
                        OpenAtEnd atEnd = OpenAtEnd::StoresPosition);

private:
    int closingMessage_;
    bool closeNotified_ = false;
    PositionTracker* tracker_ = nullptr;
    int* keptX_ = nullptr;
    int* keptY_ = nullptr;
    OpenAtEnd atEnd_ = OpenAtEnd::StoresPosition;
};
