// Any bytes as a sprite sheet descriptor over a fixed 16 x 16 sheet of 12 colours:
// refused with a reason, or frames within the cap, every pixel inside the sheet's
// palette or its added transparent entry.

#include "SheetCodec.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr size_t kCap = size_t{1} << 20;

void check(bool ok) {
    if (!ok)
        std::abort();
}

pz4fmt::Frame makeSheet() {
    pz4fmt::Frame f;
    f.width = f.height = 16;
    f.hasPalette = true;
    f.colorCount = 12;
    f.pixels.resize(256);
    for (int i = 0; i < 256; ++i) {
        f.palette[3 * (i % 12)] = static_cast<uint8_t>(20 * (i % 12) + 5);
        f.pixels[i] = static_cast<uint8_t>((i % 16 * 3 + i / 16 * 5) % 12);
    }
    return f;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const pz4fmt::Frame sheet = makeSheet();
    pz4fmt::Image image;
    pz4fmt::Failure why;
    if (!pz4json::cutSheet(data, size, sheet, image, why, kCap)) {
        check(why.failed());
        return 0;
    }
    size_t held = 0;
    for (const pz4fmt::Frame& f : image.frames) {
        check(f.pixels.size() == static_cast<size_t>(f.width) * static_cast<size_t>(f.height));
        check(f.colorCount == 12 ? f.transparentIndex == -1
                                 : f.colorCount == 13 && f.transparentIndex == 12);
        check(std::equal(f.palette.begin(), f.palette.begin() + 36, sheet.palette.begin()));
        check(std::all_of(f.pixels.begin(), f.pixels.end(),
                          [&](uint8_t p) { return p < f.colorCount; }));
        held += f.pixels.size();
    }
    check(!image.frames.empty() && held <= kCap);
    return 0;
}
