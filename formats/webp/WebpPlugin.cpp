// The pzwebp plug-in: WebP pictures and animations read, written lossless.

#include "WebpCodec.h"
#include "common/PluginExports.h"

namespace {

struct WebpFormat {
    static constexpr const char* author = "pz4 developers";
    static constexpr const char* version = "1.0";
    static constexpr const char* extension = "webp";
    static constexpr const char* description = "WebP Image";
    static constexpr bool savesFrames = true;
    static constexpr bool savesAnims = true;

    static std::unique_ptr<pz4fmt::FrameSource> open(pz4fmt::FileBytes bytes,
                                                     pz4fmt::Failure& why) {
        return pz4webp::openWebp(std::move(bytes), pz4fmt::kMaxHeldBytes, &why);
    }
    static bool saveFrame(const pz4fmt::SaveInput& frame) {
        return pz4fmt::writeEncoded(frame.fileName, pz4webp::encodeWebpImage(frame));
    }
    static bool saveAnim(const std::vector<pz4fmt::SaveInput>& frames) {
        return pz4fmt::writeEncoded(frames.front().fileName, pz4webp::encodeWebpAnimation(frames));
    }
};

} // namespace

PZ4_DEFINE_FORMAT_PLUGIN(WebpFormat)
