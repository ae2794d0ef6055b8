#pragma once

#include <QObject>
#include <QPoint>

class QWidget;

// Moves a top-level window's outer top-left corner to a screen point. Its size,
// its place among the windows and which window is active stay as they were.
// A window not shown yet gets now the size its first show would give it, so
// place it once its contents are in; a size given afterwards, before showing,
// stands. Under a window manager, a window resized after it is shown but before
// the manager has framed it is placed by its client area instead.
void PlaceWindow(QWidget* window, QPoint topLeft);

// The position a window was last moved to while it was neither minimised nor
// maximised: what a window records as its place when it closes.
class PositionTracker : public QObject {
public:
    explicit PositionTracker(QWidget* window);

    QPoint position() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool normal() const;
    QWidget* window_;
    QPoint last_;
};
