// The pzflc plug-in: FLC animations (and FLI ones named .flc) read, FLC written.

#include "FlicCodec.h"
#include "common/PluginExports.h"

namespace {

struct FlcFormat {
    static constexpr const char* author = "pz4 developers";
    static constexpr const char* version = "1.0";
    static constexpr const char* extension = "flc";
    static constexpr const char* description = "FLC Animation";
    static constexpr bool savesFrames = true;
    static constexpr bool savesAnims = true;

    // Frames are decoded as they are locked: the header and chunk sizes alone give
    // the count, however long the animation.
    static std::unique_ptr<pz4fmt::FrameSource> open(std::vector<uint8_t> bytes,
                                                     pz4fmt::Failure& why) {
        return pz4flic::openFlic(std::move(bytes), pz4fmt::kMaxHeldBytes, &why);
    }
    static bool saveFrame(const pz4fmt::SaveInput& frame) { return pz4flic::saveFlcImage(frame); }
    static bool saveAnim(const std::vector<pz4fmt::SaveInput>& frames) {
        return pz4flic::saveFlcAnimation(frames);
    }
};

} // namespace

PZ4_DEFINE_FORMAT_PLUGIN(FlcFormat)
