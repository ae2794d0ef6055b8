#include "PngCodec.h"
#include "common/PluginExports.h"

namespace {

struct PngFormat {
    static constexpr const char* author = "pz4 developers";
    static constexpr const char* version = "1.0";
    static constexpr const char* extension = "png";
    static constexpr const char* description = "PNG Image";
    static constexpr bool savesFrames = true;
    static constexpr bool savesAnims = false;

    static bool decode(const uint8_t* data, size_t size, pz4fmt::Image& out, pz4fmt::Failure& why) {
        return pz4png::decodePng(data, size, out, &why);
    }
    static bool saveFrame(const pz4fmt::SaveInput& frame) {
        return pz4fmt::writeEncoded(frame.fileName, pz4png::encodePng(frame));
    }
};

} // namespace

PZ4_DEFINE_FORMAT_PLUGIN(PngFormat)
