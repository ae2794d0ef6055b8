#pragma once

// PNG pictures through libpng: reads palette images at every bit depth and
// greyscale images (shown through a grey ramp); refuses colour and alpha
// images, which have no palette to show them with. Writes 8-bit palette images.

#include "common/FormatKit.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pz4png {

// One frame, rows bottom-up. False for anything it cannot read in full, with
// the reason in `why` when given (libpng's own words for what it refuses).
bool decodePng(const uint8_t* data, size_t size, pz4fmt::Image& out,
               pz4fmt::Failure* why = nullptr);

// The file's bytes, or empty when `frame` cannot be written.
std::vector<uint8_t> encodePng(const pz4fmt::SaveInput& frame);

} // namespace pz4png
