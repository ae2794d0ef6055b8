#pragma once

// A long GIF animation made like a screen recording: one full first frame, then a
// 16 x 16 block moving over it, each frame storing only the block, as writers that
// keep only what changed do. Long enough animations of this kind hold more pixels
// than any one cap on a whole file would allow.

#include "GifTestColours.h"
#include "GifTestFile.h"

#include <cstdint>
#include <vector>

namespace giftest {

inline constexpr int kBlock = 16;

struct BlockPosition {
    int x, y;
};

// Where frame k (k >= 1) puts its block on a width x height screen.
inline BlockPosition blockOf(int k, int width, int height) {
    return {(k * 7) % (width - kBlock), (k * 5) % (height - kBlock)};
}

// The colour index frame k paints its block in: 1, 2 or 3 (red, green, blue).
inline int blockIndex(int k) {
    return 1 + k % 3;
}

inline std::vector<uint8_t> screenRecording(int frames, int width, int height) {
    GifFile f;
    f.screen(width, height, {kBlack, kRed, kGreen, kBlue});
    std::vector<uint8_t> first(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            first[static_cast<size_t>(y * width + x)] = static_cast<uint8_t>((x / 8 + y / 8) % 4);
    f.control(1, 3).image(0, 0, width, height, first);
    for (int k = 1; k < frames; ++k) {
        const BlockPosition at = blockOf(k, width, height);
        f.control(1, 3).image(
            at.x, at.y, kBlock, kBlock,
            std::vector<uint8_t>(kBlock * kBlock, static_cast<uint8_t>(blockIndex(k))));
    }
    return f.trailer().bytes();
}

} // namespace giftest
