#pragma once

// A GIF file's blocks walked by their lengths, and a giflib decoder set at one
// frame's image data. Internal to the GIF codec.

#include "GifHandles.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pz4gif::detail {

struct FrameControl {
    int disposal = DISPOSAL_UNSPECIFIED;
    int delay = 0;
    int transparent = NO_TRANSPARENT_COLOR;
};

// Where each frame is and what it needs, read from the file's blocks without
// decoding any image data.
struct FrameRecord {
    size_t descriptor = 0; // the first byte after the image separator
    int left = 0, top = 0, width = 0, height = 0;
    size_t localTable = 0; // offset of the local colour table, when localCount > 0
    int localCount = 0;
    FrameControl control;
};

struct Structure {
    int width = 0, height = 0; // of the screen frames are shown on
    int background = 0;
    size_t globalTable = 0; // offset of the global colour table, when globalCount > 0
    int globalCount = 0;
    bool restores = false; // some frame asks for the screen under it back
    std::vector<FrameRecord> frames;
    std::string stop; // why the frames end before the trailer; empty when they do not
};

// Where giflib reads from: the whole file in memory.
struct MemoryReader {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

// A giflib decoder over the whole file, ready to read frame `f`'s image data. Each
// frame gets a fresh one: giflib's LZW tables keep entries of earlier images, which
// damaged data can reach, and a frame must decode the same whichever came before.
DecoderPtr decoderAt(const uint8_t* bytes, size_t size, MemoryReader& reader, const FrameRecord& f);

// The file's blocks, walked by their lengths. False (with the reason) when the file
// is no GIF or ends before its first block; damage later ends the frames there,
// with the reason in `s.stop`.
bool readStructure(const uint8_t* b, size_t size, Structure& s, std::string& why);

} // namespace pz4gif::detail
