// Any bytes through the GIF decoder. Frames are locked in an order drawn from the
// input and must match the same frames locked in order: a frame locked again is the
// same buffer, unchanged, and the cap on held pixels holds. Reading everything at
// once must agree with both, and what decodes is written again and must read back
// to the same pixels.

#include "GifCodec.h"

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace {

// Screens of the full size cost seconds apiece under the sanitizers and teach the
// fuzzer nothing a smaller one does not.
constexpr size_t kCap = size_t{256} << 10;
// Frames past the first few add no new paths, only time.
constexpr int kFramesLocked = 48;

void check(bool ok) {
    if (!ok)
        __builtin_trap();
}

bool sameFrame(const pz4fmt::Frame& a, const pz4fmt::Frame& b) {
    return a.width == b.width && a.height == b.height && a.pixels == b.pixels &&
           a.hasPalette == b.hasPalette && a.palette == b.palette && a.colorCount == b.colorCount &&
           a.tag == b.tag;
}

uint32_t hashOf(const uint8_t* data, size_t size) {
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < size; ++i)
        h = (h ^ data[i]) * 16777619u;
    return h;
}

void roundTrip(const pz4fmt::Frame& f) {
    if (f.pixels.size() > (size_t{1} << 16))
        return;
    pz4fmt::Palette grey{};
    for (size_t i = 0; i < grey.size(); ++i)
        grey[i] = static_cast<uint8_t>(i / 3);
    const pz4fmt::SaveInput in{
        "",      f.pixels.data(), f.hasPalette ? f.palette.data() : grey.data(),
        f.width, f.height,        f.colorCount,
        f.tag};
    std::vector<uint8_t> bytes;
    check(pz4gif::encodeGifImage(in, bytes));
    pz4fmt::Image again;
    check(pz4gif::decodeGif(bytes.data(), bytes.size(), again) && again.frames.size() == 1 &&
          again.frames[0].pixels == f.pixels);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    auto inOrder = pz4gif::openGif(bytes, kCap);
    pz4fmt::Image all;
    const bool decoded = pz4gif::decodeGif(data, size, all, kCap);
    if (!inOrder) {
        check(!decoded);
        return 0;
    }
    const int count = inOrder->frameCount();
    check(count > 0);
    check(all.frames.size() <= static_cast<size_t>(count));
    const int locked = count < kFramesLocked ? count : kFramesLocked;
    std::vector<const pz4fmt::Frame*> expected(static_cast<size_t>(locked), nullptr);
    for (int k = 0; k < locked; ++k) {
        expected[static_cast<size_t>(k)] = inOrder->lock(k);
        check(inOrder->heldBytes() <= kCap);
    }
    // Reading everything stops at the first damage, the cap, or a frame the cap refused.
    for (size_t k = 0; k < all.frames.size() && k < static_cast<size_t>(locked); ++k)
        check(expected[k] != nullptr && sameFrame(all.frames[k], *expected[k]));

    auto anyOrder = pz4gif::openGif(bytes, kCap);
    check(anyOrder != nullptr && anyOrder->frameCount() == count);
    std::minstd_rand random(hashOf(data, size));
    std::vector<const pz4fmt::Frame*> handedOut(static_cast<size_t>(locked), nullptr);
    std::vector<pz4fmt::Frame> firstSeen(static_cast<size_t>(locked));
    for (int i = 0; i < 2 * locked; ++i) {
        const int k = static_cast<int>(random() % static_cast<uint32_t>(locked));
        const pz4fmt::Frame* f = anyOrder->lock(k);
        check(anyOrder->heldBytes() <= kCap);
        check(anyOrder->frameCount() == count);
        if (f == nullptr)
            continue;
        const size_t slot = static_cast<size_t>(k);
        if (handedOut[slot] != nullptr) {
            check(f == handedOut[slot] && sameFrame(*f, firstSeen[slot]));
        } else {
            handedOut[slot] = f;
            firstSeen[slot] = *f;
        }
        if (expected[slot] != nullptr)
            check(sameFrame(*f, *expected[slot]));
    }
    for (int k = 0; k < locked && k < 4; ++k)
        if (expected[static_cast<size_t>(k)] != nullptr)
            roundTrip(*expected[static_cast<size_t>(k)]);
    return 0;
}
