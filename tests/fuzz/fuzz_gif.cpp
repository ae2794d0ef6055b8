// Any bytes through the GIF decoder; what decodes is written again and must read
// back to the same pixels.

#include "GifCodec.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Screens of the full size cost seconds apiece under the sanitizers and teach
    // the fuzzer nothing a smaller one does not: the budget is a 1024th here.
    pz4fmt::Image image;
    if (!pz4gif::decodeGif(data, size, image, (size_t{256} << 20) / 1024))
        return 0;
    pz4fmt::Palette grey{};
    for (size_t i = 0; i < grey.size(); ++i)
        grey[i] = static_cast<uint8_t>(i / 3);
    // Frames past the first few add no new paths to the writer, only time.
    for (size_t i = 0; i < image.frames.size() && i < 4; ++i) {
        const pz4fmt::Frame& f = image.frames[i];
        if (f.pixels.size() > (size_t{1} << 16))
            break;
        const pz4fmt::SaveInput in{
            "",      f.pixels.data(), f.hasPalette ? f.palette.data() : grey.data(),
            f.width, f.height,        f.colorCount,
            f.tag};
        std::vector<uint8_t> bytes;
        if (!pz4gif::encodeGifImage(in, bytes))
            __builtin_trap();
        pz4fmt::Image again;
        if (!pz4gif::decodeGif(bytes.data(), bytes.size(), again) || again.frames.size() != 1 ||
            again.frames[0].pixels != f.pixels)
            __builtin_trap();
    }
    return 0;
}
