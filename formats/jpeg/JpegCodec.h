#pragma once

// JPEG pictures through libjpeg-turbo, for the pzjpg and pzjpeg plug-ins: baseline
// and progressive files, colour and grey. Colour pictures go through the format
// kit's palettising step (photographs are quantised, flat art keeps its colours);
// grey ones are shown through a grey ramp, as PNG greys are. An EXIF orientation
// (APP1, tag 0x0112) is applied, so the picture stands as the camera held it.
// Reading only.

#include "common/Failure.h"
#include "common/FormatKit.h"

#include <cstddef>
#include <cstdint>

namespace pz4jpeg {

// One frame, rows bottom-up. False for anything it cannot read in full (a file cut
// short included), with the reason in `why` when given (libjpeg's own words for
// what it refuses). `maxHeldBytes` caps the pixels made and libjpeg's own memory.
bool decodeJpeg(const uint8_t* data, size_t size, pz4fmt::Image& out, pz4fmt::Failure* why,
                size_t maxHeldBytes);
bool decodeJpeg(const uint8_t* data, size_t size, pz4fmt::Image& out,
                pz4fmt::Failure* why = nullptr);

// The EXIF orientation (1 to 8) an APP1 marker's body gives, 1 when it gives none.
int exifOrientation(const uint8_t* app1, size_t size);

} // namespace pz4jpeg
