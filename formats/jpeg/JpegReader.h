#pragma once

// What the pzjpg and pzjpeg plug-ins have in common: everything but the extension
// they answer to.

#include "JpegCodec.h"

namespace pz4jpeg {

struct JpegReader {
    static constexpr const char* author = "pz4 developers";
    static constexpr const char* version = "1.0";
    static constexpr const char* description = "JPEG Image";
    static constexpr bool savesFrames = false;
    static constexpr bool savesAnims = false;

    static bool decode(const uint8_t* data, size_t size, pz4fmt::Image& out, pz4fmt::Failure& why) {
        return decodeJpeg(data, size, out, &why);
    }
};

} // namespace pz4jpeg
