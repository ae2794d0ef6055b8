#pragma once

// What the PCX, BMP and PNG fuzz targets check of any input: no crash, no
// leak, every refusal comes with a reason, and every picture decoded is
// consistent and survives being written and read again unchanged.

#include "common/FormatKit.h"

#include <cstdlib>
#include <vector>

namespace rasterfuzz {

using Decode = bool (*)(const uint8_t*, size_t, pz4fmt::Image&, pz4fmt::Failure*);
using Encode = std::vector<uint8_t> (*)(const pz4fmt::SaveInput&);

inline int check(Decode decode, Encode encode, const uint8_t* data, size_t size) {
    pz4fmt::Image image;
    pz4fmt::Failure why;
    if (!decode(data, size, image, &why)) {
        if (!why.failed())
            std::abort();
        return 0;
    }
    if (image.frames.size() != 1)
        std::abort();
    const pz4fmt::Frame& f = image.frames[0];
    if (f.width <= 0 || f.height <= 0 || f.colorCount < 0 || f.colorCount > 256 ||
        f.pixels.size() != static_cast<size_t>(f.width) * static_cast<size_t>(f.height))
        std::abort();
    // Huge pictures from tiny files (an RLE bitmap that ends at once) are legal;
    // writing them again would only slow the search down.
    if (f.pixels.size() > (size_t{1} << 20))
        return 0;
    const pz4fmt::SaveInput in{
        "fuzz", f.pixels.data(), f.palette.data(), f.width, f.height, f.colorCount, 0};
    const std::vector<uint8_t> again = encode(in);
    pz4fmt::Image reread;
    if (!decode(again.data(), again.size(), reread, nullptr) || reread.frames[0].pixels != f.pixels)
        std::abort();
    return 0;
}

} // namespace rasterfuzz
