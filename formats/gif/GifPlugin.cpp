// The pzgif plug-in: GIF files, still and animated, read and written.

#include "GifCodec.h"
#include "common/PluginExports.h"

namespace {

struct GifFormat {
    static constexpr const char* author = "pz4 developers";
    static constexpr const char* version = "1.0";
    static constexpr const char* extension = "gif";
    static constexpr const char* description = "GIF Animation";
    static constexpr bool savesFrames = true;
    static constexpr bool savesAnims = true;

    static std::unique_ptr<pz4fmt::FrameSource> open(pz4fmt::FileBytes bytes,
                                                     pz4fmt::Failure& why) {
        return pz4gif::openGif(std::move(bytes), pz4fmt::kMaxHeldBytes, &why);
    }
    static bool saveFrame(const pz4fmt::SaveInput& frame) { return pz4gif::saveGifImage(frame); }
    static bool saveAnim(const std::vector<pz4fmt::SaveInput>& frames) {
        return pz4gif::saveGifAnimation(frames);
    }
};

} // namespace

PZ4_DEFINE_FORMAT_PLUGIN(GifFormat)
