#pragma once

#include "display/Backdrop.h"
#include "platform/CrispImage.h"

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <cstddef>
#include <list>
#include <unordered_map>

struct FrameImage;
class FrameImageBuilder;

// The picture as the screen shows it: top row first, 32-bit colours from the
// image's colour table (with alpha where the image is see-through). An empty
// image gives a null QImage.
QImage ToScreenImage(const FrameImage& image);

// Side of a checkerboard square behind transparent pixels, in logical pixels
// whatever the zoom, and its two greys.
inline constexpr int kCheckerSide = 8;
inline constexpr QRgb kCheckerLight = qRgb(204, 204, 204);
inline constexpr QRgb kCheckerMid = qRgb(153, 153, 153);

// What the transparent pixels of the frames a window shows are drawn over.
struct BackdropLook {
    Backdrop kind = Backdrop::PaletteColour;
    QColor window; // the window's background, for Backdrop::WindowColour
    bool operator==(const BackdropLook&) const = default;
};

// How a window's builder is told to show transparent pixels for `look`.
void ShowTransparency(FrameImageBuilder& builder, const BackdropLook& look);

// `image` as the screen shows it, made ready for `scale` (ScaledForScreen); a
// see-through picture is laid over the checkerboard, whose squares start at its
// top-left corner and keep kCheckerSide on screen at every zoom. Opaque.
QImage ScreenPicture(const FrameImage& image, BlockScale scale);

// Screen pixmaps of the frames a window has drawn, kept up to a memory bound so
// scrolling back and forth converts nothing twice while a window over thousands of
// large frames does not hold a pixmap of each. Past the bound the least recently
// drawn go first.
class FramePixmapCache {
public:
    static constexpr qint64 kBoundBytes = qint64(64) << 20;

    explicit FramePixmapCache(qint64 boundBytes = kBoundBytes) : bound_(boundBytes) {}

    // The pixmap of frame `key`, converted from `image` when not held, made ready
    // for the current scale. The reference stays valid until the next call.
    const QPixmap& pixmap(size_t key, const FrameImage& image);
    void clear();
    // How pixmaps are made from now on (zoom and screen density); the ones held
    // are dropped when it changes.
    void setScale(BlockScale scale);
    BlockScale scale() const { return scale_; }

    qint64 bytes() const { return bytes_; }
    size_t held() const { return entries_.size(); }
    // How many pixmaps were made since construction.
    size_t conversions() const { return conversions_; }

private:
    struct Entry {
        QPixmap pixmap;
        qint64 bytes;
        std::list<size_t>::iterator use;
    };

    qint64 bound_;
    BlockScale scale_;
    qint64 bytes_ = 0;
    size_t conversions_ = 0;
    std::unordered_map<size_t, Entry> entries_;
    std::list<size_t> uses_; // most recently drawn first
};
