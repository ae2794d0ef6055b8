#include "platform/WindowPlacement.h"

#include <QEvent>
#include <QWidget>

void PlaceWindow(QWidget* window, QPoint topLeft) {
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
