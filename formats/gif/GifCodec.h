#pragma once

// GIF reading and writing for the pzgif plug-in, usable (and tested) without it.

#include "common/Failure.h"
#include "common/FormatKit.h"
#include "common/FrameSource.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pz4gif {

// More frames than this in one file are treated as damage: each counted frame costs a
// record from the moment the file is opened, and a file of countless 1x1 frames
// would otherwise make millions of them.
inline constexpr size_t kMaxFrames = 65536;

// The file in `bytes`, opened for frames decoded when they are locked: its blocks
// are walked and its frames counted, no image data is decoded. Each frame is the full
// logical screen as a viewer shows it at that moment, earlier frames, disposal and
// transparency applied, rows bottom-up; its palette is its own table merged with the
// colours still in view from earlier tables. A frame whose data turns out damaged
// shows the rows that came through, and later frames are drawn over it. Damage in
// the blocks ends the frames; a frame cut off by the end of the file counts when at
// least its first row came through. Null, with the reason in `why` when given, when
// not one frame can be read. `maxHeldBytes` caps the frames handed out plus the
// screens kept to make them.
std::unique_ptr<pz4fmt::FrameSource> openGif(pz4fmt::FileBytes bytes,
                                             size_t maxHeldBytes = pz4fmt::kMaxHeldBytes,
                                             pz4fmt::Failure* why = nullptr);

// The same frames decoded all at once, in order, as a reader that stops at the first
// damage sees them: the frames before it and the damaged one, as far as it decoded.
// False (with the reason in `why` when given) when not even one frame could be read.
bool decodeGif(const uint8_t* data, size_t size, pz4fmt::Image& out,
               size_t maxHeldBytes = pz4fmt::kMaxHeldBytes, pz4fmt::Failure* why = nullptr);

// One single-image GIF of `frame` (its tag, when positive, becomes the delay).
bool encodeGifImage(const pz4fmt::SaveInput& frame, std::vector<uint8_t>& out);
// One looping animation of all `frames` in order; delays from their tags, 10 when
// a tag is 0 or less.
bool encodeGifAnimation(const std::vector<pz4fmt::SaveInput>& frames, std::vector<uint8_t>& out);

// As above, written to frame.fileName (the first frame's for an animation).
bool saveGifImage(const pz4fmt::SaveInput& frame);
bool saveGifAnimation(const std::vector<pz4fmt::SaveInput>& frames);

} // namespace pz4gif
