#pragma once

#include <QImage>
#include <QPoint>

class QPainter;

// Frames are drawn as blocks of whole device pixels, never interpolated: at any
// zoom factor and on screens whose device pixel ratio is above 1, where a logical
// pixel covers several device pixels.

// `image` enlarged by block replication to `factor` x its size: every pixel
// becomes a factor x factor block. The result is 32-bit (opaque unless the image
// had transparency) and keeps the image's device pixel ratio. A factor below 2
// gives the image as it is.
QImage ReplicatePixels(const QImage& image, int factor);
// The same into `out`, whose memory is reused when it already has the size and
// format and is not shared.
void ReplicatePixelsInto(const QImage& image, int factor, QImage& out);

// How a picture is made ready to be shown at `zoom` on a device of pixel ratio
// `ratio`: its pixels replicated into `block` x `block` blocks and the result
// marked with `pixelRatio`, so that drawn unscaled at a logical point it covers
// zoom x its size in logical pixels. Where zoom x ratio is a whole number the
// blocks are exactly the device pixels shown; otherwise the blocks are logical
// pixels and the painter's nearest-pixel mapping does the rest.
struct BlockScale {
    int block = 1;
    qreal pixelRatio = 1.0;

    static BlockScale of(int zoom, qreal ratio);
    bool operator==(const BlockScale&) const = default;
};

// `image` made ready as `scale` says. Unchanged (the same pixels, shared) at a
// block of 1 and a ratio of 1: zoom 1 on a plain screen is the picture itself.
QImage ScaledForScreen(const QImage& image, BlockScale scale);

// Draws `image` (of device pixel ratio 1, as frames are) with its top-left corner
// at the logical point `topLeft`, at `zoom` x its size in logical pixels. Where
// zoom x the device pixel ratio is a whole number every image pixel is exactly
// that many device pixels square; at other ratios the nearest device pixel is
// taken, so no colour is ever mixed. Zoom 1 on a plain screen is a plain copy.
void DrawZoomed(QPainter& painter, QPoint topLeft, const QImage& image, int zoom);
