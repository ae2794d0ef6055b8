#pragma once

// What the viewer and the player show behind a frame's transparent pixels; the B
// key steps through them in this order.
enum class Backdrop : int {
    PaletteColour = 0, // the palette's colour of the transparent index, as if there were none
    Checkerboard = 1,  // light and mid grey squares of one size on screen at every zoom
    WindowColour = 2,  // the window's own background colour
};
inline constexpr int kBackdropCount = 3;

constexpr Backdrop NextBackdrop(Backdrop b) {
    return static_cast<Backdrop>((static_cast<int>(b) + 1) % kBackdropCount);
}

// A setting read back: anything but one of the three is the default.
constexpr Backdrop BackdropFromSetting(int value) {
    return value >= 0 && value < kBackdropCount ? static_cast<Backdrop>(value)
                                                : Backdrop::PaletteColour;
}
