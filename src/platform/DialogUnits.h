#pragma once

#include <QRect>

class QFont;

// Converts the dialog units the window layouts are given in to pixels, from
// the dialog font's base units: baseX is the font's average character width
// taken over the 52 Latin letters, baseY its height.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    DialogUnits(int baseX, int baseY) : baseX_(baseX), baseY_(baseY) {}

    int baseX() const { return baseX_; }
    int baseY() const { return baseY_; }

    int x(int units) const; // units * baseX / 4, rounded
    int y(int units) const; // units * baseY / 8, rounded
    QRect rect(int x, int y, int width, int height) const;
    QSize size(int width, int height) const;

private:
    int baseX_;
    int baseY_;
};
