#pragma once

// What a decoded GIF frame shows, for the GIF tests.

#include "GifTestFile.h"
#include "common/FormatKit.h"

#include <vector>

namespace giftest {

inline const Rgb kBlack{0, 0, 0}, kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255},
    kWhite{255, 255, 255}, kYellow{255, 255, 0};

inline uint8_t indexAt(const pz4fmt::Frame& f, int x, int yFromTop) {
    return f.pixels[static_cast<size_t>(f.height - 1 - yFromTop) * static_cast<size_t>(f.width) +
                    static_cast<size_t>(x)];
}

inline Rgb colourAt(const pz4fmt::Frame& f, int x, int yFromTop) {
    const size_t i = static_cast<size_t>(indexAt(f, x, yFromTop)) * 3;
    return Rgb{f.palette[i], f.palette[i + 1], f.palette[i + 2]};
}

// The picture's top row, left to right.
inline std::vector<Rgb> topRow(const pz4fmt::Frame& f) {
    std::vector<Rgb> row;
    for (int x = 0; x < f.width; ++x)
        row.push_back(colourAt(f, x, 0));
    return row;
}

} // namespace giftest
