#pragma once

// What every format plug-in shares: the decoded document it hands out, the caps
// that keep a hostile file from exhausting memory, and file input and output.

#include "common/Failure.h"
#include "common/FileInput.h"
#include "common/PixelBuffer.h"
#include "pz4/PluginContract.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pz4fmt {

// Caps on what a plug-in decodes, whatever a file claims.
inline constexpr int kMaxSide = 16384;                     // pixels a side
inline constexpr size_t kMaxFileBytes = size_t{256} << 20; // bytes read from a file
// Bytes of pixels an open file holds at once: the frames it has handed out and the
// screens its decoder works on. A cap on memory, not on the file: a long animation
// opens with all its frames, and only locking past the cap is refused.
inline constexpr size_t kMaxHeldBytes = size_t{2} << 30;

using Palette = std::array<uint8_t, pz4::plugin::kPaletteBytes>;

struct Frame {
    int width = 0;
    int height = 0;
    // width x height indices; row 0 is the bottom row of the picture, as the
    // program shows it. Top-down formats reverse their rows on the way in and out.
    PixelBuffer pixels;
    bool hasPalette = false;
    Palette palette{}; // meaningful when hasPalette
    int colorCount = 0;
    int tag = 0;
    // The palette entry standing for see-through pixels, -1 for none. Only codecs
    // that meet an alpha channel set it (see Palettise.h).
    int transparentIndex = -1;
};

struct Image {
    std::vector<Frame> frames;
};

// Tracks the pixels a decoder makes against a cap (the whole of kMaxHeldBytes for a
// file decoded when it is opened).
class DecodeBudget {
public:
    // A smaller cap than the plug-ins' serves callers that must stay quick, such
    // as fuzz targets.
    explicit DecodeBudget(size_t cap = kMaxHeldBytes) : cap_(cap) {}

    // True (and counted) when a width x height frame of `bytesPerPixel` bytes a
    // pixel fits the caps. Decoders that work on more than the indices (a truecolour
    // picture before it is palettised) count what they hold at most.
    bool take(int width, int height, size_t bytesPerPixel = 1);
    // The same, saying in `why` which cap a refused frame breaks. Takes the sizes
    // as a file states them, before they are known to fit an int.
    bool take(int64_t width, int64_t height, Failure& why, size_t bytesPerPixel = 1);

private:
    size_t cap_;
    size_t used_ = 0;
};

// Whole file into `out`, read once; false when it cannot be read or is larger than
// `cap`, with the reason in `why` when given.
bool readFile(const char* path, FileBytes& out, size_t cap = kMaxFileBytes, Failure* why = nullptr);
bool readFile(const char* path, std::vector<uint8_t>& out, size_t cap = kMaxFileBytes,
              Failure* why = nullptr);
// A size as a reason names it: whole MiB in MiB (the plug-ins' caps), else in bytes.
std::string sizeText(size_t bytes);
// Writes `data` to `path`; on failure removes what was written and returns false.
bool writeFile(const char* path, const std::vector<uint8_t>& data);

// Reverses the row order of a width x height buffer in place.
void flipRows(uint8_t* pixels, int width, int height);
// One row of `width` pixels packed at 1, 2, 4 or 8 bits each, leftmost pixel in
// the high bits, into one index a pixel.
void unpackRow(const uint8_t* packed, int bitsPerPixel, int width, uint8_t* row);

// A frame handed in for saving is usable: non-null buffers and sane dimensions.
struct SaveInput {
    const char* fileName;
    const uint8_t* pixels;
    const uint8_t* palette;
    int width;
    int height;
    int colorCount;
    int tag;
    // The palette index the program shows as transparent in this frame, -1 for
    // none (handed over through SetSaveTransparency).
    int transparentIndex = -1;
};
bool validSaveInput(const SaveInput& in);
// The same without the file name: what an encoder needs to produce bytes.
bool validImageInput(const SaveInput& in);
// Writes an encoder's output; an empty result means the encoder refused the frame.
bool writeEncoded(const char* path, const std::vector<uint8_t>& bytes);
// The highest palette index a saved frame's pixels use.
int highestIndex(const SaveInput& in);
// The palette entries a saved frame needs: its colorCount clamped to 1..256, but
// never fewer than its highest pixel value + 1, so no pixel points past the palette.
int paletteEntriesFor(const SaveInput& in);

// Little-endian field access for the binary formats.
inline uint16_t le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void putLe16(std::vector<uint8_t>& out, uint16_t v);
void putLe32(std::vector<uint8_t>& out, uint32_t v);

} // namespace pz4fmt
