#include "palette/ui/ColourGrid.h"

#include "palette/PalManager.h"
#include "palette/TRNManager.h"

#include <QPainter>

namespace {

constexpr int kSide = 16;  // cells per row and per column
constexpr int kBorder = 2; // pixels the etched border takes on each side

QRgb screenColour(const cPalManager& palette, int entry) {
    unsigned char red = 0, green = 0, blue = 0;
    palette.GetEntry(entry, red, green, blue);
    return qRgb(red, green, blue);
}

} // namespace

GridGeometry GridGeometry::of(QSize area) {
    GridGeometry g;
    g.cellWidth = (area.width() - 2 * kBorder) / kSide;
    g.cellHeight = (area.height() - 2 * kBorder) / kSide;
    g.left = kBorder + (area.width() - kSide * g.cellWidth) / 2;
    g.top = kBorder + (area.height() - kSide * g.cellHeight) / 2;
    return g;
}

QRect GridGeometry::cell(int k) const {
    // A spacing of one pixel or less leaves no room for a cell beside its line.
    if (cellWidth < 2 || cellHeight < 2)
        return {};
    const int row = k / kSide;
    const int column = k % kSide;
    return QRect(left + cellWidth * column, top + cellHeight * row, cellWidth - 1, cellHeight - 1);
}

GridColours PaletteColours(const cPalManager& palette) {
    GridColours colours;
    for (int k = 0; k < cPalManager::kEntries; ++k)
        colours[k] = screenColour(palette, k);
    return colours;
}

std::optional<GridColours> NamedPaletteColours(const cPalManager* palette) {
    if (!palette || !palette->GetName())
        return std::nullopt;
    return PaletteColours(*palette);
}

GridColours TranslatedColours(const cPalManager& palette, const cTRNManager& table) {
    GridColours colours;
    for (int k = 0; k < cTRNManager::kEntries; ++k)
        colours[k] = screenColour(palette, table.Translate(k));
    return colours;
}

ColourGrid::ColourGrid(QWidget* parent, Source source)
    : QFrame(parent), source_(std::move(source)) {
    setFrameStyle(QFrame::Box | QFrame::Sunken);
}

void ColourGrid::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    // The whole area is painted each time, so a grid no longer drawn is gone
    // rather than left showing colours that are not current.
    const std::optional<GridColours> colours = source_();
    if (!colours)
        return;
    const GridGeometry g = geometryOfCells();
    QPainter painter(this);
    for (int k = 0; k < static_cast<int>(colours->size()); ++k) {
        const QRect cell = g.cell(k);
        if (!cell.isEmpty())
            painter.fillRect(cell, QColor::fromRgb((*colours)[k]));
    }
}
