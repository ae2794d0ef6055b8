#pragma once

// Windows and OS/2 bitmaps: reads 1-, 4- and 8-bit files, uncompressed or
// run-length encoded (RLE4, RLE8), bottom-up or top-down; writes 8-bit
// uncompressed bottom-up files with their palette.

#include "common/FormatKit.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pz4bmp {

// One frame, rows bottom-up. False for anything it cannot read in full, with
// the reason in `why` when given.
bool decodeBmp(const uint8_t* data, size_t size, pz4fmt::Image& out,
               pz4fmt::Failure* why = nullptr);

// The file's bytes, or empty when `frame` cannot be written.
std::vector<uint8_t> encodeBmp(const pz4fmt::SaveInput& frame);

} // namespace pz4bmp
