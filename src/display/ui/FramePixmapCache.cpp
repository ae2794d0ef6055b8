#include "display/ui/FramePixmapCache.h"

#include "display/FrameImage.h"

#include <algorithm>
#include <cmath>

QImage ToScreenImage(const FrameImage& image) {
    if (image.empty())
        return {};
    QImage screen(image.width, image.height,
                  image.seeThrough ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (screen.isNull())
        return {};
    const FrameImage::ColorTable& colors = *image.colors;
    const auto w = static_cast<size_t>(image.width);
    for (int32_t y = 0; y < image.height; ++y) {
        // Stored rows count from the bottom of the picture.
        const unsigned char* src = image.storedRow(image.height - 1 - y);
        auto* dst = reinterpret_cast<QRgb*>(screen.scanLine(y));
        for (size_t x = 0; x < w; ++x)
            dst[x] = colors[src[x]];
    }
    return screen;
}

void ShowTransparency(FrameImageBuilder& builder, const BackdropLook& look) {
    switch (look.kind) {
    case Backdrop::Checkerboard:
        builder.showTransparentAs(0); // see-through: the squares go in afterwards
        break;
    case Backdrop::WindowColour:
        builder.showTransparentAs(look.window.rgb() | 0xFF000000u);
        break;
    case Backdrop::PaletteColour:
        break;
    }
}

QImage ScreenPicture(const FrameImage& image, BlockScale scale) {
    QImage picture = ScaledForScreen(ToScreenImage(image), scale);
    if (!image.seeThrough || picture.isNull())
        return picture;
    // Only the transparent entry has alpha, and it is 0: whatever alpha the
    // enlarging step kept, a pixel is either see-through or opaque.
    QImage out(picture.size(), QImage::Format_RGB32);
    if (out.isNull())
        return picture;
    const QImage source = picture.convertToFormat(QImage::Format_ARGB32);
    const int side = std::max(1, static_cast<int>(std::lround(kCheckerSide * scale.pixelRatio)));
    for (int y = 0; y < out.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        const bool oddRow = (y / side) % 2 != 0;
        for (int x = 0; x < out.width(); ++x)
            dst[x] = qAlpha(src[x]) != 0                 ? src[x]
                     : (((x / side) % 2 != 0) != oddRow) ? kCheckerMid
                                                         : kCheckerLight;
    }
    out.setDevicePixelRatio(picture.devicePixelRatio());
    return out;
}

const QPixmap& FramePixmapCache::pixmap(size_t key, const FrameImage& image) {
    if (auto it = entries_.find(key); it != entries_.end()) {
        uses_.splice(uses_.begin(), uses_, it->second.use);
        return it->second.pixmap;
    }
    QPixmap made = QPixmap::fromImage(ScreenPicture(image, scale_));
    ++conversions_;
    const qint64 size = qint64(made.width()) * made.height() * made.depth() / 8;
    // The new pixmap is kept even when it alone is past the bound: it is about to
    // be drawn. It goes first next time.
    while (!uses_.empty() && bytes_ + size > bound_) {
        auto oldest = entries_.find(uses_.back());
        bytes_ -= oldest->second.bytes;
        entries_.erase(oldest);
        uses_.pop_back();
    }
    uses_.push_front(key);
    bytes_ += size;
    return entries_.emplace(key, Entry{std::move(made), size, uses_.begin()}).first->second.pixmap;
}

void FramePixmapCache::setScale(BlockScale scale) {
    if (scale == scale_)
        return;
    scale_ = scale;
    clear();
}

void FramePixmapCache::clear() {
    entries_.clear();
    uses_.clear();
    bytes_ = 0;
}
