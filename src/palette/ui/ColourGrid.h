#pragma once

#include <QFrame>
#include <QRect>
#include <QRgb>
#include <array>
#include <functional>
#include <optional>

class cPalManager;
class cTRNManager;

// Where the 16 x 16 cells of a colour grid lie inside an area of a given size,
// in the area's own pixels. Cells are spaced cellWidth x cellHeight apart and
// each fills one pixel less either way, leaving a line of background to the
// right of and below every cell; the grid is centred in what the area's border
// leaves free.
struct GridGeometry {
    int cellWidth = 0;
    int cellHeight = 0;
    int left = 0;
    int top = 0;

    static GridGeometry of(QSize area);
    // The pixels entry k (row k / 16, column k % 16) fills; empty when the
    // area is too small for cells.
    QRect cell(int k) const;
};

// The colours of the 256 cells, entry 0 first.
using GridColours = std::array<QRgb, 256>;

// Entry k's screen colour: its red, green and blue bytes unscaled.
GridColours PaletteColours(const cPalManager& palette);
// The palette's colours while it has a name: one without counts as none loaded.
std::optional<GridColours> NamedPaletteColours(const cPalManager* palette);
// Cell k in the colour pixel value k is shown with: palette entry Translate(k).
GridColours TranslatedColours(const cPalManager& palette, const cTRNManager& table);

// An etched swatch area showing 256 colours as a 16 x 16 grid. The colours are
// asked for at every paint, so the grid shows the current palette and table
// whenever it is drawn; no colours means the area stays empty.
class ColourGrid : public QFrame {
public:
    using Source = std::function<std::optional<GridColours>()>;

    ColourGrid(QWidget* parent, Source source);

    GridGeometry geometryOfCells() const { return GridGeometry::of(size()); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Source source_;
};
