#include "platform/WindowPlacement.h"

#include <QEvent>
#include <QLayout>
#include <QWidget>

namespace {

// What showing a window would do to its size, done before it has a native
// window: showing creates the native window first and only then lets the
// layout, or adjustSize() for a window never given a size, settle the size.
// Resizing a native window that the window manager has not framed yet makes
// the toolkit position it by its client area, so the frame would land a frame's
// width and caption's height up and left of the point asked for.
void settleSizeBeforeShowing(QWidget* window) {
    window->ensurePolished();
    if (QLayout* layout = window->layout())
        layout->activate();
    if (!window->testAttribute(Qt::WA_Resized))
        window->adjustSize();
}

} // namespace

void PlaceWindow(QWidget* window, QPoint topLeft) {
    if (!window->testAttribute(Qt::WA_WState_Created))
        settleSizeBeforeShowing(window);
    // move() on a top-level widget positions its frame, neither raising nor activating it.
    window->move(topLeft);
}

PositionTracker::PositionTracker(QWidget* window)
    : QObject(window), window_(window), last_(window->pos()) {
    window->installEventFilter(this);
}

bool PositionTracker::normal() const {
    return !(window_->windowState() &
             (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
}

QPoint PositionTracker::position() const {
    // A hidden window's move only reaches the event filter when it is shown, so
    // the window's own answer counts whenever it is in its normal state.
    return normal() ? window_->pos() : last_;
}

bool PositionTracker::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_ && event->type() == QEvent::Move && normal())
        last_ = window_->pos();
    return QObject::eventFilter(watched, event);
}
