#pragma once

#include "pz4/PluginContract.h"
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

class cFrameList;
class cTRNManager;

// Frame to picture: one frame of palette indices turned into the 8-bit picture the
// viewer and the player show. No screen format here; the windows wrap it.
//
// Layout, as a bottom-up device-independent bitmap:
// - `width` x `height` pixels, one byte (a palette index) each;
// - stored rows are `stride` bytes, `width` rounded up to a multiple of 4, the
//   padding bytes are 0;
// - stored row 0 is the BOTTOM row of the picture, stored row `height` - 1 the top;
// - `colors` holds the 256 colour-table entries as opaque 0xFFRRGGBB values
//   (the order of a Qt QRgb), the palette's bytes taken unscaled; where the
//   builder is told how to show transparent pixels, the one entry that holds the
//   frame's transparent pixels has that colour instead (alpha 0: see-through).
//
// Placement of frame pixel (row r, column c) (r = 0 is the first row of the
// frame's buffer) at stored row R, column C, by mirror mode:
//   0 (and any value but 1, 2, 3):  R = r,              C = c
//   1 (cFrameList::kMirrorX):       R = r,              C = width - 1 - c
//   2 (cFrameList::kMirrorY):       R = height - 1 - r, C = c
//   3 (both):                       R = height - 1 - r, C = width - 1 - c
// So without mirroring the buffer's first row is shown at the bottom of the picture.
// Every stored byte is translation[source byte].
struct FrameImage {
    using ColorTable = std::array<uint32_t, 256>;

    int32_t width = 0;
    int32_t height = 0;
    size_t stride = 0;
    // stride * height bytes; null for an empty image.
    std::unique_ptr<unsigned char[]> bits;
    // Shared between the images of one build that use the same palette, so a
    // chain of thousands of small frames does not hold a kilobyte of colours each.
    std::shared_ptr<const ColorTable> colors;
    // One colour-table entry has alpha 0: the picture shows something through it.
    bool seeThrough = false;

    // No pixels: the frame had no size or no pixel buffer.
    bool empty() const { return bits == nullptr; }
    size_t byteSize() const { return stride * static_cast<size_t>(height); }
    // Stored row `row` (0 = bottom of the picture).
    const unsigned char* storedRow(int32_t row) const {
        return bits.get() + static_cast<size_t>(row) * stride;
    }
    // The palette index shown at picture column x of picture row y counted from the
    // top, as a screen shows it.
    unsigned char shownAt(int32_t x, int32_t yFromTop) const {
        return storedRow(height - 1 - yFromTop)[x];
    }
};

// How the per-pixel translation runs. `Best` picks the widest vector kernel the
// processor has (64-byte byte permutes, else 32-byte shuffles, else the plain
// loop); `Avx2` skips the 64-byte kernel; `Portable` is the plain C++ loop every
// platform runs. Tests and benchmarks run each one they can.
enum class FrameImageKernel { Best, Avx2, Portable };

// Builds the pictures of one display with one translation table. Consecutive
// frames with the same palette bytes share one colour table.
class FrameImageBuilder {
public:
    // `translation`: pixel value p is stored as translation[p].
    explicit FrameImageBuilder(const std::array<unsigned char, 256>& translation,
                               FrameImageKernel kernel = FrameImageKernel::Best);

    // `pixels`: width x height bytes, row 0 first; `palette`: 768 bytes (red,
    // green, blue of entry k at 3k..3k+2), or null for an all-black colour table.
    // A width or height below 1, or no pixels, gives an empty image.
    // `transparent`: the pixel value (before translation) shown as transparent, -1
    // for none; it matters only once showTransparentAs was called.
    FrameImage build(const unsigned char* pixels, int32_t width, int32_t height,
                     const unsigned char* palette, int32_t mirror, int32_t transparent = -1);
    // The frame record's pixels, size, palette and transparent index. The viewer
    // passes mirror 0, the player the node's own `mirror`.
    FrameImage build(const cFrameList& frame, int32_t mirror);

    // From now on a frame's transparent pixels show as `argb` (alpha 0 makes them
    // see-through) rather than their palette colour. Exactly those pixels: where
    // the translation table gives another value the transparent one's colour, the
    // transparent pixels are stored as a value nothing else is stored as.
    void showTransparentAs(uint32_t argb);

private:
    // The stored value of `transparent`'s pixels: its translation when no other
    // value translates to it, else one that no value translates to.
    unsigned char storedTransparent(unsigned char transparent);
    std::shared_ptr<const FrameImage::ColorTable> colorsFor(const unsigned char* palette,
                                                            int special);

    std::array<unsigned char, 256> translation_;
    bool showTransparency_ = false;
    uint32_t transparentArgb_ = 0;
    int lastSpecial_ = -1;
    FrameImageKernel kernel_;
    std::array<unsigned char, pz4::plugin::kPaletteBytes> lastPalette_{};
    bool lastWasNull_ = false;
    std::shared_ptr<const FrameImage::ColorTable> lastColors_;
};

// One frame through the current translation table (the manager's `table`).
FrameImage BuildFrameImage(const cFrameList& frame, const cTRNManager& translation, int32_t mirror);

// dst[i] = table[src[i]] for n bytes; reversed: dst[i] = table[src[n - 1 - i]].
// Exposed for the benchmarks; the builder runs it once per stored row.
void TranslateRow(const unsigned char* src, unsigned char* dst, size_t n,
                  const unsigned char* table, bool reversed, FrameImageKernel kernel);
