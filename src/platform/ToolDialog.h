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
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    // Copies the window's position into the shared context: by default into the
    // fields given to keepPositionIn.
    virtual void storePosition();
    // The window's position lives in x and y, which outlive the window: with
    // `placeThere` the window moves there now (so give it its contents and size
    // first), then its position is tracked and written there as it closes.
    void keepPositionIn(int& x, int& y, bool placeThere,
                        OpenAtEnd atEnd = OpenAtEnd::StoresPosition);

    // Sizes the window by its outer size, frame and caption included. The frame
    // is known only once the window system has put one around the window: until
    // then the client takes the whole outer size, and it is fitted to the frame
    // the first time the window is shown or moved with one.
    void setOuterSize(QSize outer);
    // The same, keeping the width the window has.
    void setOuterHeight(int height);
    // Some window managers report the frame only after the window is mapped and
    // send no move: a window called here from its first paints looks again, just
    // after the paint.
    void checkFrameAfterPaint();

private:
    void fitToFrame();
    // The frame's share of the outer size once fitted, none before.
    QSize knownFrame() const;

    int closingMessage_;
    bool closeNotified_ = false;
    PositionTracker* tracker_ = nullptr;
    int* keptX_ = nullptr;
    int* keptY_ = nullptr;
    OpenAtEnd atEnd_ = OpenAtEnd::StoresPosition;
    QSize outerSize_; // invalid: the window is sized by its client area
    bool fitted_ = false;
    static constexpr int kFitChecks = 3;
    int fitChecks_ = 0;
};
