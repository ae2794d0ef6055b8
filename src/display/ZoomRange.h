#pragma once

#include <algorithm>

// The whole factors the viewer and the player zoom by, pixel for pixel. The
// settings file keeps a window's factor only when it is one of these.
namespace zoom {
inline constexpr int kMin = 1;
inline constexpr int kMax = 8;

constexpr int clamp(int factor) {
    return std::clamp(factor, kMin, kMax);
}
} // namespace zoom
