// Any bytes through the JPEG decoder: no crash, no leak, a reason with every
// refusal, and every picture consistent: its pixels inside its palette.

#include "JpegCodec.h"

#include <cstdint>
#include <cstdlib>

namespace {

// Large pictures cost seconds apiece under the sanitizers and teach nothing a
// small one does not.
constexpr size_t kCap = size_t{4} << 20;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pz4fmt::Image image;
    pz4fmt::Failure why;
    if (!pz4jpeg::decodeJpeg(data, size, image, &why, kCap)) {
        if (!why.failed() || !image.frames.empty())
            std::abort();
        return 0;
    }
    if (image.frames.size() != 1)
        std::abort();
    const pz4fmt::Frame& f = image.frames[0];
    if (f.width <= 0 || f.height <= 0 || !f.hasPalette || f.colorCount < 1 || f.colorCount > 256 ||
        f.pixels.size() != static_cast<size_t>(f.width) * static_cast<size_t>(f.height))
        std::abort();
    for (uint8_t p : f.pixels)
        if (p >= f.colorCount)
            std::abort();
    return 0;
}
