// Any bytes through the WebP decoder. Frames are locked in an order drawn from the
// input and must match the same frames locked in order; the cap on held pixels
// holds; every frame's pixels lie inside its palette; and the first frames, written
// again, read back with the same colours.

#include "WebpCodec.h"

#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

constexpr size_t kCap = size_t{1} << 20;
constexpr int kFramesLocked = 24;

void check(bool ok) {
    if (!ok)
        std::abort();
}

bool sound(const pz4fmt::Frame& f) {
    if (f.width <= 0 || f.height <= 0 || !f.hasPalette || f.colorCount < 1 || f.colorCount > 256 ||
        f.pixels.size() != static_cast<size_t>(f.width) * static_cast<size_t>(f.height))
        return false;
    for (uint8_t p : f.pixels)
        if (p >= f.colorCount)
            return false;
    return true;
}

std::vector<uint8_t> shown(const pz4fmt::Frame& f) {
    std::vector<uint8_t> rgb;
    for (uint8_t p : f.pixels)
        rgb.insert(rgb.end(), f.palette.begin() + 3 * p, f.palette.begin() + 3 * p + 3);
    return rgb;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    pz4fmt::Failure why;
    auto inOrder = pz4webp::openWebp(bytes, kCap, &why);
    if (!inOrder) {
        check(why.failed());
        return 0;
    }
    const int count = inOrder->frameCount();
    check(count > 0);
    const int locked = count < kFramesLocked ? count : kFramesLocked;
    std::vector<const pz4fmt::Frame*> expected(static_cast<size_t>(locked), nullptr);
    for (int k = 0; k < locked; ++k) {
        try {
            expected[static_cast<size_t>(k)] = inOrder->lock(k);
        } catch (const std::exception&) {
            // A damaged frame is refused; the frames after it may still be drawn.
        }
        check(inOrder->heldBytes() <= kCap);
        check(expected[static_cast<size_t>(k)] == nullptr ||
              sound(*expected[static_cast<size_t>(k)]));
    }
    auto anyOrder = pz4webp::openWebp(bytes, kCap);
    check(anyOrder != nullptr && anyOrder->frameCount() == count);
    std::minstd_rand random(static_cast<uint32_t>(size));
    for (int i = 0; i < locked; ++i) {
        const int k = static_cast<int>(random() % static_cast<uint32_t>(locked));
        const pz4fmt::Frame* f = nullptr;
        try {
            f = anyOrder->lock(k);
        } catch (const std::exception&) {
        }
        check(anyOrder->heldBytes() <= kCap);
        const pz4fmt::Frame* e = expected[static_cast<size_t>(k)];
        if (f != nullptr && e != nullptr)
            check(f->pixels == e->pixels && f->palette == e->palette && f->tag == e->tag);
    }
    const pz4fmt::Frame* first = expected[0];
    if (first != nullptr && first->pixels.size() <= (size_t{1} << 14)) {
        const pz4fmt::SaveInput in{"",           first->pixels.data(), first->palette.data(),
                                   first->width, first->height,        first->colorCount,
                                   first->tag};
        auto again = pz4webp::openWebp(pz4webp::encodeWebpAnimation({in, in}), kCap);
        check(again != nullptr && again->frameCount() == 2);
        check(shown(*again->lock(1)) == shown(*first));
    }
    return 0;
}
