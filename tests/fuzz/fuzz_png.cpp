// Any input: no crash, no leak, and every picture decoded is consistent and
// survives being written and read again unchanged.

#include "PngCodec.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pz4fmt::Image image;
    if (!pz4png::decodePng(data, size, image))
        return 0;
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
    const std::vector<uint8_t> again = pz4png::encodePng(in);
    pz4fmt::Image reread;
    if (!pz4png::decodePng(again.data(), again.size(), reread) ||
        reread.frames[0].pixels != f.pixels)
        std::abort();
    return 0;
}
