#pragma once

// The screen a GIF's frames are drawn on, and how a screen becomes a frame with
// one palette. Internal to the GIF codec.

#include "common/FormatKit.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pz4gif::detail {

using pz4fmt::Palette;

struct Rect {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0; // half-open, screen coordinates, top-down
    bool empty() const { return x0 >= x1 || y0 >= y1; }
};

// Working tables for turning a screen into a frame. They carry nothing from one frame
// to the next, so one set serves every screen of a file, checkpoints included.
struct Source {
    uint16_t id;
    uint32_t count;
};

// RGB colour -> palette entry while one frame's palette is built: a flat table
// with room for twice the most it is ever given, emptied by starting a new
// generation rather than by clearing it, since a file with a table a frame builds
// a palette for every frame.
class ColourIndex {
public:
    explicit ColourIndex(int bits)
        : shift_(32 - bits), mask_((size_t{1} << bits) - 1), keys_(mask_ + 1), entries_(mask_ + 1) {
    }

    void clear() {
        if (++generation_ == 0) { // wrapped: stamps 256 generations old would match
            std::fill(keys_.begin(), keys_.end(), 0);
            generation_ = 1;
        }
    }
    // The entry for `rgb`, or -1.
    int find(uint32_t rgb) const {
        const uint32_t key = keyOf(rgb);
        for (size_t i = home(rgb);; i = (i + 1) & mask_) {
            if (keys_[i] == key)
                return entries_[i];
            if ((keys_[i] & 0xFF) != generation_)
                return -1;
        }
    }
    // `rgb` -> `entry` unless `rgb` has one already.
    void insert(uint32_t rgb, uint8_t entry) {
        const uint32_t key = keyOf(rgb);
        for (size_t i = home(rgb);; i = (i + 1) & mask_) {
            if (keys_[i] == key)
                return;
            if ((keys_[i] & 0xFF) != generation_) {
                keys_[i] = key;
                entries_[i] = entry;
                return;
            }
        }
    }

private:
    // The colour above the generation that stored it: small, so a large table
    // stays in the cache.
    uint32_t keyOf(uint32_t rgb) const { return (rgb << 8) | generation_; }
    size_t home(uint32_t rgb) const { return (rgb * 0x9E3779B1u) >> shift_; }

    int shift_;
    size_t mask_;
    std::vector<uint32_t> keys_;
    std::vector<uint8_t> entries_;
    uint8_t generation_ = 1;
};

struct EmitScratch {
    std::vector<uint32_t> counts = std::vector<uint32_t>(size_t{1} << 16, 0); // zero between uses
    std::vector<uint8_t> lut = std::vector<uint8_t>(size_t{1} << 16, 0);
    std::vector<Source> sources;
    // For the palette: sources from other tables, those whose colour has no entry
    // yet (by pixel count, then first appearance), and entries free to take.
    std::vector<Source> foreign;
    std::vector<uint64_t> homeless;
    std::vector<int> spare;
    // Colours with an entry (at most 256), colours of the frame's entries not in
    // view (at most 256), and nearest entries found (at most one a source, 2^16).
    ColourIndex byColour{10}, ownFree{10}, nearest{17};
};

// The screen a viewer paints on. Each canvas pixel remembers where its colour came
// from, as (colour table slot << 8) | index, rather than the colour itself: that keeps
// the original indices for frames that share a table, and the true colour for pixels
// drawn from another table. Slot 0 holds no colours: pixels of files without a colour
// table keep their bare index.
//
// Pixels nothing has drawn on yet, or that a disposal cleared, hold kUndrawn rather
// than the background's source: a frame with a transparent colour shows them as
// that colour's index, as browsers show them; any other frame shows the
// background colour there.
class Canvas {
public:
    static constexpr int kRawSlot = 0;
    static constexpr int kSlots = 256;
    // Tables live in slots 1 to kTableSlots - 1; the last slot marks undrawn pixels.
    static constexpr int kTableSlots = kSlots - 1;
    static constexpr uint16_t kUndrawn = static_cast<uint16_t>(kTableSlots << 8);

    Canvas(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }

    // The slot holding the `count` colours at `rgb` (shared with an identical earlier
    // table), or kRawSlot for none.
    int slotFor(const uint8_t* rgb, int count);

    // `source` is what undrawn pixels show in frames without a transparent colour.
    void setBackground(uint16_t source);

    // Where a frame lands, clipped to the screen.
    Rect clip(int left, int top, int width, int height) const;

    void save(const Rect& r);
    void restore();
    void clearToBackground(const Rect& r);

    // One decoded row of a frame whose left edge is at screen column `left`.
    void drawRow(int y, int left, const Rect& r, const uint8_t* line, int slot, int transparent);

    // The screen as it stands, as a frame shown with the table in `slot` of
    // `tableSize` entries (kRawSlot: the frame has no palette) and `transparent` as
    // its transparent index (-1 for none), which then shows undrawn pixels alone.
    void emit(int slot, int tableSize, int transparent, pz4fmt::Frame& out, EmitScratch& scratch);

private:
    // Whether every pixel in view shows its bare index (or, undrawn, the
    // transparent index or the background's) through `slot`'s table: none came
    // from another table, and none drawn opaque holds the transparent index.
    bool showsBareIndices(int slot, int transparent) const;

    // The screen's rows into `out`, bottom row first, each pixel through `index`.
    template <class Index> void writeRows(pz4fmt::Frame& out, Index index) const;

    size_t offset(int x, int y) const {
        return static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x);
    }

    int freeSlot() const;

    // Pixels per slot on the screen and in the area kept for a later restore.
    std::array<size_t, kSlots> references() const;

    void releaseUnreferenced();

    // Every slot is still in view: fold the least seen table (the longest unused
    // among equals) into the most seen one by nearest colour. Only a file with 255
    // tables in view at once gets here.
    int evictOne();

    // Each source in view once, with its pixel count, in order of first appearance;
    // undrawn pixels count as `undrawn`.
    void collectSources(EmitScratch& scratch, uint16_t undrawn);

    uint32_t colourOf(uint16_t id) const;

    // The frame's own table, with the colours still in view from other tables put
    // in entries the frame does not show: exact while they fit, nearest beyond.
    // The transparent entry, when there is one, holds undrawn pixels and nothing
    // else. Returns the number of palette entries in use.
    int buildPalette(int slot, int tableSize, int transparent, Palette& palette,
                     EmitScratch& scratch);

    int width_;
    int height_;
    std::vector<uint16_t> pixels_;
    std::array<Palette, kSlots> tables_{};
    std::array<uint64_t, kSlots> hashes_{};
    std::array<bool, kSlots> inUse_{};
    std::array<uint64_t, kSlots> lastUse_{};
    uint64_t clock_ = 0;
    uint16_t background_ = 0;
    std::vector<uint16_t> saved_;
    Rect savedRect_;
};

} // namespace pz4gif::detail
