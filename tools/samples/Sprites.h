#pragma once

#include "pz4/PluginContract.h"
#include <array>
#include <cstdint>
#include <vector>

namespace pzsamples {

inline constexpr int kSide = 80;      // every sample frame is kSide x kSide
inline constexpr int kWalkFrames = 8; // one full walk cycle
inline constexpr int kWalkDelay = 8;  // hundredths of a second per frame

// Where the sprites' colours live in the palette. Each ramp runs dark to light.
inline constexpr int kRampSize = 16;
inline constexpr int kOutline = 1;
inline constexpr int kEyeWhite = 2;
inline constexpr int kPupil = 3;
inline constexpr int kShadow = 7;
inline constexpr int kGround = 8; // 8 shades
inline constexpr int kTeamA = 16; // the tunic and cap as drawn
inline constexpr int kTeamB = 32; // the other team's colours
inline constexpr int kSkin = 48;
inline constexpr int kLeather = 64;
inline constexpr int kSky = 96;    // top of the sky to the horizon
inline constexpr int kCloud = 112; // 4 shades

using Palette = std::array<uint8_t, pz4::plugin::kPaletteBytes>;
using Table = std::array<uint8_t, 256>;

// One picture, rows top to bottom as it is drawn and as GIF stores it.
struct Picture {
    int width = kSide;
    int height = kSide;
    std::vector<uint8_t> pixels;
};

// Frame `frame` (0 .. kWalkFrames - 1) of a little figure walking to the right
// over scrolling grass; the cycle loops seamlessly.
Picture drawWalkFrame(int frame);

// The rows reversed: the plug-ins take row 0 as the bottom row of the picture.
std::vector<uint8_t> bottomUp(const Picture& picture);

// The colours the sprites are drawn for: daylight, a red team.
Palette walkPalette();
// The same layout at dusk: a sunset sky, darker grass, warmer light.
Palette duskPalette();
// Shows the red team's ramp in the blue team's colours and the other way round.
Table teamSwap();

} // namespace pzsamples
