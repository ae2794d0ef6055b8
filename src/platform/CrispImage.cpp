#include "platform/CrispImage.h"

#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// One source row widened: every pixel written `Factor` times. A fixed factor lets
// the compiler unroll the copies, which is most of the gain at small factors.
template <int Factor> void widenRow(const uint32_t* in, uint32_t* out, int width) {
    for (int x = 0; x < width; ++x) {
        const uint32_t pixel = in[x];
        for (int k = 0; k < Factor; ++k)
            out[k] = pixel;
        out += Factor;
    }
}

void widenRow(const uint32_t* in, uint32_t* out, int width, int factor) {
    switch (factor) {
    case 2:
        return widenRow<2>(in, out, width);
    case 3:
        return widenRow<3>(in, out, width);
    case 4:
        return widenRow<4>(in, out, width);
    case 6:
        return widenRow<6>(in, out, width);
    case 8:
        return widenRow<8>(in, out, width);
    default:
        for (int x = 0; x < width; ++x)
            out = std::fill_n(out, factor, in[x]);
    }
}

// Above this a block picture is let go after drawing: a big frame at zoom 8 on a
// dense screen would otherwise hold tens of megabytes for the rest of the run.
constexpr qsizetype kKeptBlockBytes = qsizetype{16} << 20;

} // namespace

void ReplicatePixelsInto(const QImage& image, int factor, QImage& out) {
    if (factor < 2 || image.isNull()) {
        out = image;
        return;
    }
    const QImage::Format format =
        image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    // Converting first touches each source pixel once; the copies are plain words.
    const QImage source = image.convertToFormat(format);
    const int w = source.width();
    const int h = source.height();
    const QSize size(w * factor, h * factor);
    if (out.size() != size || out.format() != format || !out.isDetached())
        out = QImage(size, format);
    if (out.isNull())
        return; // too large to allocate
    const size_t rowBytes = static_cast<size_t>(size.width()) * sizeof(uint32_t);
    for (int y = 0; y < h; ++y) {
        auto* first = reinterpret_cast<uint32_t*>(out.scanLine(y * factor));
        widenRow(reinterpret_cast<const uint32_t*>(source.constScanLine(y)), first, w, factor);
        for (int k = 1; k < factor; ++k)
            std::memcpy(out.scanLine(y * factor + k), first, rowBytes);
    }
    out.setDevicePixelRatio(image.devicePixelRatio());
}

QImage ReplicatePixels(const QImage& image, int factor) {
    QImage out;
    ReplicatePixelsInto(image, factor, out);
    return out;
}

BlockScale BlockScale::of(int zoom, qreal ratio) {
    zoom = std::max(zoom, 1);
    if (!(ratio > 0))
        ratio = 1.0;
    const qreal device = zoom * ratio;
    const long whole = std::lround(device);
    if (whole >= 1 && std::abs(device - static_cast<qreal>(whole)) < 1e-6)
        return {static_cast<int>(whole), ratio};
    return {zoom, 1.0};
}

QImage ScaledForScreen(const QImage& image, BlockScale scale) {
    QImage out = ReplicatePixels(image, scale.block);
    if (out.devicePixelRatio() != scale.pixelRatio)
        out.setDevicePixelRatio(scale.pixelRatio);
    return out;
}

void DrawZoomed(QPainter& painter, QPoint topLeft, const QImage& image, int zoom) {
    if (image.isNull() || zoom < 1)
        return;
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatio() : 1.0;
    const BlockScale scale = BlockScale::of(zoom, ratio);
    // Not smoothed where the painter still maps pixels (uneven ratios).
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (scale.block == 1) {
        painter.drawImage(topLeft, ScaledForScreen(image, scale));
    } else {
        // Steps of a player draw pictures of one size over and over: the block
        // picture's memory is kept for the next drawing rather than mapped anew.
        thread_local QImage blocks;
        ReplicatePixelsInto(image, scale.block, blocks);
        blocks.setDevicePixelRatio(scale.pixelRatio);
        painter.drawImage(topLeft, blocks);
        if (blocks.sizeInBytes() > kKeptBlockBytes)
            blocks = QImage();
    }
    painter.restore();
}
