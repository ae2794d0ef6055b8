#pragma once

// What the pzflc and pzfli plug-ins have in common: both read either variant with
// the one codec, whatever the file is called. They differ only in the extension
// they answer to and in what they write.

#include "FlicCodec.h"

#include <memory>
#include <utility>
#include <vector>

namespace pz4flic {

struct FlicReader {
    static constexpr const char* author = "pz4 developers";
    static constexpr const char* version = "1.0";

    // Frames are decoded as they are locked: the header and chunk sizes alone give
    // the count, however long the animation.
    static std::unique_ptr<pz4fmt::FrameSource> open(pz4fmt::FileBytes bytes,
                                                     pz4fmt::Failure& why) {
        return openFlic(std::move(bytes), pz4fmt::kMaxHeldBytes, &why);
    }
};

} // namespace pz4flic
