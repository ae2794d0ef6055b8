#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class cFrameList;

// Where the viewer's frames sit on its horizontal strip: each frame followed by a
// 5-pixel gap, positions in strip pixels from the strip's left end. Positions are
// 64-bit: a strip of tens of thousands of wide frames is wider than 2^31 pixels.
class StripLayout {
public:
    static constexpr int64_t kGap = 5;

    StripLayout() = default;
    // Measures a chain shown at `zoom` (1 to 8): each frame takes zoom x its width,
    // widths below 0 counting as 0; the gap stays 5 pixels.
    explicit StripLayout(const cFrameList* first, int zoom = 1);

    size_t count() const { return rights_.size(); }
    // The sum over all frames of width + 5.
    int64_t stripWidth() const { return rights_.empty() ? 0 : rights_.back(); }
    // The largest frame height (0 for no frames), unzoomed.
    int32_t maxHeight() const { return maxHeight_; }
    int64_t left(size_t k) const { return k == 0 ? 0 : rights_[k - 1]; }
    // left(k) + width(k) + 5.
    int64_t right(size_t k) const { return rights_[k]; }

    // The frames a window of `windowWidth` pixels draws at scroll position `pos`:
    // from the first frame whose right(k) reaches pos (the last frame when none
    // does), at screen x = left(first) - pos, and on while the frames drawn so far
    // (the first one counted whole) are narrower than the window.
    struct Span {
        size_t first = 0;
        size_t end = 0; // one past the last frame drawn
        int64_t x = 0;  // screen x of the first frame, -(width + 5) .. 0
    };
    // Binary searches over the prefix sums: the time does not grow with the chain.
    Span visible(int64_t pos, int64_t windowWidth) const;

private:
    std::vector<int64_t> rights_; // rights_[k] = sum over frames 0..k of width + 5
    int32_t maxHeight_ = 0;
};

// A scroll bar counts in int; a strip wider than that scrolls in steps of `unit`
// pixels, so the range and every position stay exact up to the unit.
struct ScrollScale {
    int64_t excess = 0; // strip pixels hidden at the widest, 0 when everything fits
    int64_t unit = 1;
    int maximum = 0; // the scroll bar's range is 0 .. maximum

    explicit ScrollScale(int64_t stripWidth, int64_t windowWidth);
    // The strip position of scroll bar value v: v * unit, at most excess.
    int64_t position(int value) const;
};
