// Any bytes through the FLIC reader: frames locked in an order taken from the input
// must match decoding them all in order, and what decodes is written again and must
// read back to the same pixels and palettes.

#include "FlicCodec.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Screens of the full size cost seconds apiece under the sanitizers and teach
    // the fuzzer nothing a smaller one does not.
    constexpr size_t kBudget = size_t{1} << 20;
    pz4fmt::Image image;
    if (!pz4flic::decodeFlic(data, size, image, kBudget))
        return 0;
    const size_t frames = image.frames.size();

    // Out of order through the on-demand source: every frame it hands out is the
    // frame decoded in order, and locking one again gives the same buffer.
    auto source = pz4flic::openFlic(std::vector<uint8_t>(data, data + size), kBudget);
    if (!source || source->frameCount() < static_cast<int>(frames))
        __builtin_trap();
    for (size_t i = 0; i < 8 && i < size; ++i) {
        const int k = static_cast<int>(data[size - 1 - i] % frames);
        const pz4fmt::Frame* f = source->lock(k);
        if (f == nullptr)
            continue; // past the cap
        const pz4fmt::Frame& want = image.frames[static_cast<size_t>(k)];
        if (f->pixels != want.pixels || f->palette != want.palette || f->tag != want.tag ||
            source->lock(k) != f)
            __builtin_trap();
    }

    // Frames past the first few add no new paths to the writer, only time.
    std::vector<pz4fmt::SaveInput> in;
    for (size_t i = 0; i < frames && i < 4; ++i) {
        const pz4fmt::Frame& f = image.frames[i];
        in.push_back({"", f.pixels.data(), f.palette.data(), f.width, f.height, 256, f.tag});
    }
    if (image.frames[0].pixels.size() > (size_t{1} << 16))
        return 0;
    std::vector<uint8_t> bytes;
    if (!pz4flic::encodeFlc(in, bytes))
        __builtin_trap();
    pz4fmt::Image again;
    if (!pz4flic::decodeFlic(bytes.data(), bytes.size(), again) || again.frames.size() != in.size())
        __builtin_trap();
    // A later frame's own delay is 16-bit milliseconds: longer ones are cut to 65.5 s.
    constexpr int kLongestOwnDelay = 6553;
    for (size_t i = 0; i < in.size(); ++i)
        if (again.frames[i].pixels != image.frames[i].pixels ||
            again.frames[i].palette != image.frames[i].palette ||
            (again.frames[i].tag != image.frames[i].tag &&
             (i == 0 || image.frames[i].tag <= kLongestOwnDelay)))
            __builtin_trap();
    return 0;
}
