#include "BmpCodec.h"
#include "common/PluginExports.h"

namespace {

struct BmpFormat {
    static constexpr const char* author = "pz4 developers";
    static constexpr const char* version = "1.0";
    static constexpr const char* extension = "bmp";
    static constexpr const char* description = "Windows Bitmap";
    static constexpr bool savesFrames = true;
    static constexpr bool savesAnims = false;

    static std::unique_ptr<pz4fmt::FrameSource> openPath(const char* path, pz4fmt::Failure& why) {
        return pz4fmt::decodeFile(
            path, why, [](pz4fmt::ByteSource& in, pz4fmt::Image& out, pz4fmt::Failure& w) {
                return pz4bmp::decodeBmp(in, out, &w);
            });
    }
    static bool saveFrame(const pz4fmt::SaveInput& frame) {
        return pz4fmt::writeEncoded(frame.fileName, pz4bmp::encodeBmp(frame));
    }
};

} // namespace

PZ4_DEFINE_FORMAT_PLUGIN(BmpFormat)
