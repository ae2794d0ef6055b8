#pragma once

// Truecolour pictures as the program shows every frame: 8-bit indices through a
// palette. Most sprite art saved as RGB or RGBA holds 256 colours or fewer; those
// keep every colour exactly. Pictures with more are quantised (libimagequant).
//
// The alpha rule: a pixel with alpha below kOpaqueFrom is see-through and becomes
// the one palette entry that stands for "transparent" (Frame::transparentIndex);
// every other pixel keeps its colour as stored, not premultiplied, whatever its
// alpha.
//
// Portable: this header names no third-party library, so the plug-ins checked for
// Windows may include it.

#include "common/Failure.h"
#include "common/FormatKit.h"

#include <cstddef>
#include <cstdint>

namespace pz4fmt {

inline constexpr int kOpaqueFrom = 128;

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

// A 16-bit sample as 8 bits, rounded as libpng's png_set_scale_16 rounds it.
inline uint8_t scale16(unsigned v) {
    return static_cast<uint8_t>((v * 255u + 32895u) >> 16);
}

// Bytes a truecolour decode holds at most for each pixel: the RGBA picture and
// the indices made from it.
inline constexpr size_t kTruecolourBytesPerPixel = 5;

// `rgba`: width x height pixels of red, green, blue, alpha, top row first.
// Fills out's pixels (bottom-up, as every frame runs), palette, colorCount,
// hasPalette and transparentIndex; the size fields too. `transparent` is the colour
// shown for the see-through entry (a file's background colour, or black).
// Exact when the picture holds at most 256 colours: the palette in the order the
// colours first appear, scanning from the top row, left to right, so one file
// always gives the same indices. Above that the colours are quantised without
// dithering and the see-through entry, if any, comes last. False, with the reason,
// only when quantising fails (memory).
bool palettise(const uint8_t* rgba, int width, int height, Rgb transparent, Frame& out,
               Failure& why);

} // namespace pz4fmt
