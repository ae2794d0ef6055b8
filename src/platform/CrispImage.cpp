#include "platform/CrispImage.h"

#include <QPaintDevice>
#include <QPainter>
#include <cmath>
#include <cstring>

QImage ReplicatePixels(const QImage& image, int factor) {
    if (factor < 2 || image.isNull())
        return image;
    const QImage::Format format =
        image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    // Converting first touches each source pixel once; the copies are plain words.
    const QImage source = image.convertToFormat(format);
    const int w = source.width();
    const int h = source.height();
    QImage out(w * factor, h * factor, format);
    if (out.isNull())
        return out; // too large to allocate
    const size_t rowBytes = static_cast<size_t>(w) * factor * sizeof(uint32_t);
    for (int y = 0; y < h; ++y) {
        const auto* in = reinterpret_cast<const uint32_t*>(source.constScanLine(y));
        auto* first = reinterpret_cast<uint32_t*>(out.scanLine(y * factor));
        uint32_t* o = first;
        for (int x = 0; x < w; ++x) {
            const uint32_t pixel = in[x];
            for (int k = 0; k < factor; ++k)
                *o++ = pixel;
        }
        for (int k = 1; k < factor; ++k)
            std::memcpy(out.scanLine(y * factor + k), first, rowBytes);
    }
    out.setDevicePixelRatio(image.devicePixelRatio());
    return out;
}

void DrawZoomed(QPainter& painter, QPoint topLeft, const QImage& image, int zoom) {
    if (image.isNull() || zoom < 1)
        return;
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatio() : 1.0;
    const qreal scale = zoom * ratio;
    const long whole = std::lround(scale);
    if (whole >= 1 && std::abs(scale - static_cast<qreal>(whole)) < 1e-6) {
        if (whole == 1 && ratio == 1.0) {
            painter.drawImage(topLeft, image);
            return;
        }
        // Made in device pixels and marked as such, the painter copies it 1:1.
        QImage blocks = ReplicatePixels(image, static_cast<int>(whole));
        blocks.setDevicePixelRatio(ratio);
        painter.drawImage(topLeft, blocks);
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRectF(topLeft, QSizeF(image.width() * zoom, image.height() * zoom)), image);
    painter.restore();
}
