#pragma once

// Windows and OS/2 bitmaps: reads 1-, 4- and 8-bit files, uncompressed or
// run-length encoded (RLE4, RLE8), and 16-, 24- and 32-bit files (555 by default,
// any bit fields given), bottom-up or top-down; truecolour pixels go through the
// format kit's palettising step. A 32-bit file has alpha only where its bit fields
// name an alpha mask, as Pillow reads it; otherwise the fourth byte is unused.
// Writes 8-bit uncompressed bottom-up files with their palette.

#include "common/FormatKit.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pz4bmp {

// One frame, rows bottom-up. False for anything it cannot read in full, with
// the reason in `why` when given.
bool decodeBmp(const uint8_t* data, size_t size, pz4fmt::Image& out,
               pz4fmt::Failure* why = nullptr);
// The same read from `in`: an uncompressed 8-bit file's rows straight into the frame,
// any other file's pixels read once and decoded from there.
bool decodeBmp(pz4fmt::ByteSource& in, pz4fmt::Image& out, pz4fmt::Failure* why = nullptr);

// The file's bytes, or empty when `frame` cannot be written.
std::vector<uint8_t> encodeBmp(const pz4fmt::SaveInput& frame);

} // namespace pz4bmp
