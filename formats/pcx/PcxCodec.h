#pragma once

// PCX pictures: reads 1-, 2-, 4- and 8-bit single-plane files and planar files of
// up to four 1-bit planes (EGA), one palette index per pixel; writes 8-bit
// run-length files with the 256-colour palette at the end.

#include "common/FormatKit.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pz4pcx {

// One frame, rows bottom-up. False for anything it cannot read in full, with
// the reason in `why` when given.
bool decodePcx(const uint8_t* data, size_t size, pz4fmt::Image& out,
               pz4fmt::Failure* why = nullptr);
// The same read from `in`, its run-length stream passing through a small window.
bool decodePcx(pz4fmt::ByteSource& in, pz4fmt::Image& out, pz4fmt::Failure* why = nullptr);

// The file's bytes, or empty when `frame` cannot be written.
std::vector<uint8_t> encodePcx(const pz4fmt::SaveInput& frame);

} // namespace pz4pcx
