#pragma once

#include "display/FrameImage.h"
#include "display/StripLayout.h"
#include "display/ui/FramePixmapCache.h"
#include "platform/ToolDialog.h"

#include <QColor>
#include <QSize>
#include <memory>
#include <vector>

class QScrollBar;
class cFrameList;
class cObjectManager;
class ZoomControl;

// The viewer: the frames of a chain side by side on one horizontal strip, each
// in a thin raised border with its number under it, scrolled by a scroll bar
// along the bottom. The pictures are made once, when the viewer opens: a palette
// or translation chosen later shows in the next viewer.
class TPz4ViewWin : public ToolDialog {
    Q_OBJECT
public:
    static constexpr int ScrollBarId = 501;
    static constexpr int WidestWindow = 600;
    static constexpr int ExtraHeight = 90;
    static constexpr int PictureTop = 10;
    static constexpr int LabelBelow = 15;
    static constexpr int ScrollBarHeight = 20;
    static constexpr int PageStep = 10;
    static constexpr QRgb LightLine = qRgb(240, 240, 240);
    static constexpr QRgb DarkLine = qRgb(48, 48, 48);

    // Takes the chain; it must not be empty.
    TPz4ViewWin(QWidget* parent, cObjectManager* objectManager, std::unique_ptr<cFrameList> frames);
    ~TPz4ViewWin() override;

    // The colour behind the frames: the platform's colour for window borders.
    QColor background() const;
    const StripLayout& layout() const { return layout_; }
    // The strip position the window shows at its left edge.
    int64_t scrollPosition() const;
    // The width the scroll range is worked out from: the outer width, as last
    // resized while not minimised.
    int outerWidth() const { return outerWidth_; }
    const FramePixmapCache& pixmapCache() const { return pixmaps_; }
    // The zoom factor, 1 to 8: each frame is shown at zoom x its size, pixel for
    // pixel. Changing it keeps the frame at the window's left edge there and fits
    // the window's height; the object manager keeps it for the next viewer.
    int zoom() const { return zoom_; }
    void setZoom(int factor);
    // The next backdrop behind transparent pixels (the B key): the pictures are
    // made again; the object manager keeps it for the next viewer.
    void nextBackdrop();
    // Null once the window has closed: the chain points into the open file.
    const cFrameList* frames() const { return frames_.get(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // Left/Right by the scroll bar's line step, Page Up/Down by the window's
    // width, Home/End to the ends of the strip, B the next backdrop.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void MeasureStrip();
    void BuildImages();
    void PaintStrip();
    void placeScrollBar();
    void releaseFrames();
    // Outer height for the current zoom: the tallest frame zoomed plus the room
    // around it, within the screen once zoomed (zoom 1 keeps the plain rule).
    int outerHeight() const;
    // The scroll bar's arrow step: the first frame's width, zoomed.
    int lineStep() const;

    cObjectManager* objectManager_;
    std::unique_ptr<cFrameList> frames_;
    // A re-entrancy guard: a step that finds it set is skipped, never waited for.
    bool busy_ = false;
    StripLayout layout_;
    std::vector<const cFrameList*> nodes_; // frame k of the chain, without walking it
    std::vector<FrameImage> images_;
    FramePixmapCache pixmaps_;
    ScrollScale scale_{0, 0};
    int outerWidth_ = 0;
    int zoom_ = 1;
    QScrollBar* scrollBar_;
    ZoomControl* zoomControl_;
};
