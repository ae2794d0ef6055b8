#pragma once

#include "Sprites.h"

#include <cstdint>
#include <vector>

namespace pzsamples {

// A looping animated GIF whose frames carry no colour table at all, neither a
// global nor a local one: a reader has no colours to show them in but its own.
// The GIF plug-in always writes a table and giflib refuses to write a file
// without one, so this file is put together here, byte by byte.
std::vector<uint8_t> encodeBareGif(const std::vector<Picture>& frames, int delay);

} // namespace pzsamples
