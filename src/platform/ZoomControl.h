#pragma once

#include "display/ZoomRange.h"

#include <QObject>
#include <functional>
#include <optional>
#include <vector>

class QKeyEvent;
class QWidget;

// The zoom of a window that shows frames: a whole factor from 1 to 8, changed
// while the window has the keyboard focus by
//   Ctrl + mouse wheel    one factor per notch, away from the user zooms in
//   Ctrl + "+" or "="     one factor in ("=" is "+" without Shift on many keyboards)
//   Ctrl + "-"            one factor out
//   Ctrl + "0"            back to 1
namespace zoom {
// The notch of a mouse wheel in Qt's angle units (eighths of a degree).
inline constexpr int kWheelNotch = 120;

// The factor a key press leads to from `current`, or nothing when the press is
// not a zoom key (then the window handles it as it would anyway).
std::optional<int> forKey(const QKeyEvent& event, int current);
} // namespace zoom

// Watches a window's key presses and wheel turns and keeps its zoom factor. Zoom
// keys and Ctrl + wheel are taken from the window, even at the ends of the range;
// everything else passes on untouched.
class ZoomControl : public QObject {
public:
    using Changed = std::function<void(int factor)>;

    // Owned by `window`. `changed` is told every new factor, not the first one.
    ZoomControl(QWidget* window, int factor, Changed changed);

    int factor() const { return factor_; }
    // Also takes Ctrl + wheel turns over `child`, a part of the window that would
    // otherwise take them for itself (a scroll bar).
    void watchWheel(QWidget* child);
    // Clamped to 1..8; tells `changed` when the factor differs from the one held.
    void setFactor(int factor);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    std::vector<QObject*> wheelOnly_;
    int factor_;
    Changed changed_;
    // Touch pads turn in fractions of a notch: they add up to whole steps.
    int wheelRest_ = 0;
};
