// Any bytes as a sprite sheet descriptor over a fixed 16 x 16 sheet of 12 colours:
// refused with a reason, or frames within the cap, every pixel inside the sheet's
// palette (and its added transparent entry); small sets of frames, written as a
// sheet again, come back with the same pixels and tags.

#include "SheetCodec.h"
#include "png/PngCodec.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

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
    for (int k = 0; k < 12; ++k)
        f.palette[3 * k] = static_cast<uint8_t>(20 * k + 5);
    for (int i = 0; i < 256; ++i)
        f.pixels.push_back(static_cast<uint8_t>((i % 16 * 3 + i / 16 * 5) % 12));
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
    check(!image.frames.empty() && image.frames.size() <= pz4json::kMaxFrames);
    size_t held = 0;
    std::vector<pz4fmt::SaveInput> again;
    for (const pz4fmt::Frame& f : image.frames) {
        check(f.width > 0 && f.height > 0 &&
              f.pixels.size() == static_cast<size_t>(f.width) * static_cast<size_t>(f.height));
        check(f.colorCount == 12 ? f.transparentIndex == -1
                                 : f.colorCount == 13 && f.transparentIndex == 12);
        check(std::equal(f.palette.begin(), f.palette.begin() + 36, sheet.palette.begin()));
        check(std::all_of(f.pixels.begin(), f.pixels.end(),
                          [&](uint8_t p) { return p < f.colorCount; }));
        held += f.pixels.size();
        again.push_back({"", f.pixels.data(), f.palette.data(), f.width, f.height, f.colorCount,
                         f.tag, f.transparentIndex});
    }
    check(held <= kCap);
    if (held > (size_t{1} << 14) || again.size() > 64)
        return 0;
    pz4json::EncodedSheet written;
    check(
        pz4json::encodeSheet(again, std::vector<std::string>(again.size(), "f"), "s.png", written));
    pz4fmt::Image picture, back;
    check(pz4png::decodePng(written.picture.data(), written.picture.size(), picture));
    check(pz4json::cutSheet(reinterpret_cast<const uint8_t*>(written.descriptor.data()),
                            written.descriptor.size(), picture.frames[0], back, why));
    check(back.frames.size() == image.frames.size());
    for (size_t k = 0; k < back.frames.size(); ++k) {
        const pz4fmt::Frame& f = image.frames[k];
        check(back.frames[k].pixels == f.pixels);
        check(back.frames[k].tag == (f.tag > 0 ? f.tag : 10));
    }
    return 0;
}
