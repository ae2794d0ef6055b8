#pragma once

// GIF reading and writing for the pzgif plug-in, usable (and tested) without it.

#include "common/FormatKit.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pz4gif {

// More frames than this in one file are treated as damage: every frame carries a
// palette and bookkeeping, so a file of countless 1x1 frames would otherwise grow
// far past the decoded-size cap.
inline constexpr size_t kMaxFrames = 65536;

// Every frame of the file as a viewer shows it at that moment: the full logical
// screen with earlier frames, disposal and transparency applied, rows bottom-up.
// A frame's palette is its own table merged with the colours still in view from
// earlier tables. Damage ends the file: the frames before it (and the damaged one,
// as far as it decoded) are kept. False when not even one frame could be read.
// `maxDecodedBytes` caps the frames handed out, and apart from them the images
// decoded to make them.
bool decodeGif(const uint8_t* data, size_t size, pz4fmt::Image& out,
               size_t maxDecodedBytes = pz4fmt::kMaxHeldBytes);

// One single-image GIF of `frame` (its tag, when positive, becomes the delay).
bool encodeGifImage(const pz4fmt::SaveInput& frame, std::vector<uint8_t>& out);
// One looping animation of all `frames` in order; delays from their tags, 10 when
// a tag is 0 or less.
bool encodeGifAnimation(const std::vector<pz4fmt::SaveInput>& frames, std::vector<uint8_t>& out);

// As above, written to frame.fileName (the first frame's for an animation).
bool saveGifImage(const pz4fmt::SaveInput& frame);
bool saveGifAnimation(const std::vector<pz4fmt::SaveInput>& frames);

} // namespace pz4gif
