#pragma once

// Sprite sheets: many frames packed into one PNG picture and a JSON descriptor
// saying where each frame sits and how long it lasts, in the two layouts texture
// packers and pixel-art editors write and game engines read: "frames" as an
// object of named frames (the hash) or as an array of frames with a "filename".
// Reading and writing for the pzjson plug-in, usable (and tested) without it.

#include "common/Failure.h"
#include "common/FormatKit.h"
#include "common/FrameSource.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pz4json {

// As in GIF: each frame costs a record from the moment the sheet is opened.
inline constexpr size_t kMaxFrames = 65536;
// A descriptor is parsed into a tree, which takes many times the text's size for a
// text of small values; 65,536 frames as texture packers write them take ~20 MiB.
inline constexpr size_t kMaxDescriptorBytes = size_t{32} << 20;
// Descriptors nest four deep; the parser keeps a record a level.
inline constexpr int kMaxDepth = 64;

// The descriptor at `path`, whose `size` bytes are at `descriptor`, with its picture
// (meta.image, relative to the descriptor's folder, a PNG) cut into frames; null,
// with the reason in `why`, when either is unusable.
std::unique_ptr<pz4fmt::FrameSource> openSheet(const char* path, const uint8_t* descriptor,
                                               size_t size, pz4fmt::Failure& why);

// The frames the descriptor cuts from `sheet`, a picture already decoded (meta.image
// is checked, not read). Each frame is handed out at its full size with the sheet's
// palette, colorCount and transparent entry; `tag` is its duration in 1/100 s, rounded
// half up, 10 when it states none. Trimmed frames sit at their spriteSourceSize place
// over the transparent entry; when the sheet has none, one is added after its colours
// (black), or entry 0 stands for it in a full palette. The sheet and the frames
// together stay within `cap` bytes.
bool cutSheet(const uint8_t* descriptor, size_t size, const pz4fmt::Frame& sheet,
              pz4fmt::Image& out, pz4fmt::Failure& why, size_t cap = pz4fmt::kMaxHeldBytes);

// meta.image of a descriptor, empty when it names none or is no JSON.
std::string pictureNamed(const std::vector<uint8_t>& descriptor);

// One frame of a descriptor as pz4 writes it: untrimmed, unrotated.
struct SheetEntry {
    std::string name;
    int x, y, width, height;
    int64_t durationMs;
};
// The descriptor text in the array layout. `format` is meta.format, left out when null.
std::string describeSheet(const std::vector<SheetEntry>& frames, const std::string& image,
                          const char* format, int width, int height);

struct EncodedSheet {
    std::vector<uint8_t> picture; // the PNG file
    std::string descriptor;
};
// `frames` packed in rows one pixel apart, the rows about as wide as the sheet is
// tall. A palette picture when all frames share one palette and one transparent
// index (see-through through tRNS), else an RGBA picture of every frame's own colours
// with its transparent index at alpha 0. `names` are the frames' "filename"s,
// `image` the picture's name in meta.image. False when the frames do not fit a
// picture of pz4fmt::kMaxSide a side.
bool encodeSheet(const std::vector<pz4fmt::SaveInput>& frames,
                 const std::vector<std::string>& names, const std::string& image,
                 EncodedSheet& out);

// The picture of a sheet saved as `descriptor`: its name without ".json", plus
// ".png". A sheet written over another replaces its picture, never a PNG that
// merely shares its name (the walk.png a walk.json is made from): false when such
// a PNG is there.
std::string sheetPicture(const std::string& descriptor);
bool mayWritePicture(const std::string& descriptor);

// Writes the sheet of `frames` as frames[0].fileName (the descriptor) and the same
// name without ".json" plus ".png" (the picture): both, or neither. Frames are named
// by their own file names when those differ, else by the sheet's name and number
// ("walk 0"); durations are tag x 10 ms, 100 ms for tags of 0 or less. Nothing is
// written where mayWritePicture says no.
bool saveSheet(const std::vector<pz4fmt::SaveInput>& frames);

} // namespace pz4json
