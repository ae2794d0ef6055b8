#pragma once

#include <QRect>
#include <span>

class QFont;
class QWidget;

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

// A dialog's static text: its control id, which is its object name, its text
// and its place in dialog units.
struct TextPlace {
    int id;
    const char* text;
    int x, y, width, height;
};

// Puts a label for each text on `dialog`, at its place.
void PlaceTexts(QWidget* dialog, const DialogUnits& units, std::span<const TextPlace> texts);
