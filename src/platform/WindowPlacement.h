#pragma once

#include <QObject>
#include <QPoint>

class QWidget;

// Moves a top-level window's outer top-left corner to a screen point. Its size,
// its place among the windows and which window is active stay as they were.
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
