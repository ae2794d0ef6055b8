#pragma once

// WebP reading and writing for the pzwebp plug-in, usable (and tested) without it.

#include "common/Failure.h"
#include "common/FormatKit.h"
#include "common/FrameSource.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace pz4webp {

// Frames past this many are left out, as in GIF: each costs a record from the
// moment the file is opened.
inline constexpr size_t kMaxFrames = 65536;

// The file in `bytes`, still or animated, lossy or lossless, opened for frames
// decoded when they are locked. Each frame is the whole canvas as a viewer shows it
// then (earlier frames, blending and disposal applied), palettised on its own by the
// format kit, rows bottom-up; `tag` is its duration in 1/100 s, rounded. Opening
// reads the file's structure and decodes the first frame, so a damaged file is
// refused at once; a later frame whose data turns out damaged is refused when it is
// locked. Null, with the reason in `why` when given, when the file is unusable.
// `maxHeldBytes` caps the frames handed out plus the canvases kept to make them.
std::unique_ptr<pz4fmt::FrameSource> openWebp(pz4fmt::FileBytes bytes,
                                              size_t maxHeldBytes = pz4fmt::kMaxHeldBytes,
                                              pz4fmt::Failure* why = nullptr);

// Lossless files, so a palettised picture comes back exact. One still picture of
// `frame`; one looping animation of `frames` on a canvas of the largest, smaller ones
// at its top left over their palette's entry 0, each shown for its tag in 1/100 s
// (1 s when the tag is 0 or less). Empty when a frame cannot be written.
std::vector<uint8_t> encodeWebpImage(const pz4fmt::SaveInput& frame);
std::vector<uint8_t> encodeWebpAnimation(const std::vector<pz4fmt::SaveInput>& frames);

} // namespace pz4webp
