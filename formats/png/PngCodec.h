#pragma once

// PNG pictures through libpng: reads palette images at every bit depth,
// greyscale images (shown through a grey ramp) and colour and alpha images at 8
// and 16 bits, which go through the format kit's palettising step (16-bit samples
// rounded to 8 bits, see-through pixels shown with the bKGD colour, else black).
// Writes 8-bit palette images, and RGBA images for pictures of many palettes.

#include "common/FormatKit.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pz4png {

// One frame, rows bottom-up. False for anything it cannot read in full, with
// the reason in `why` when given (libpng's own words for what it refuses).
bool decodePng(const uint8_t* data, size_t size, pz4fmt::Image& out,
               pz4fmt::Failure* why = nullptr);
// The same read from `in`, through a small window libpng takes its bytes from.
bool decodePng(pz4fmt::ByteSource& in, pz4fmt::Image& out, pz4fmt::Failure* why = nullptr);

// The file's bytes, or empty when `frame` cannot be written. The frame's
// transparentIndex, when it names an entry written, is see-through (tRNS).
std::vector<uint8_t> encodePng(const pz4fmt::SaveInput& frame);
// An RGBA picture of width x height pixels, top row first, 4 bytes a pixel.
std::vector<uint8_t> encodePngRgba(const uint8_t* rgba, int width, int height);

} // namespace pz4png
