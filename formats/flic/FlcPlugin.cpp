// The pzflc plug-in: FLC animations (and FLI ones named .flc) read, FLC written.

#include "FlicPlugin.h"
#include "common/PluginExports.h"

namespace {

struct FlcFormat : pz4flic::FlicReader {
    static constexpr const char* extension = "flc";
    static constexpr const char* description = "FLC Animation";
    static constexpr bool savesFrames = true;
    static constexpr bool savesAnims = true;

    static bool saveFrame(const pz4fmt::SaveInput& frame) { return pz4flic::saveFlcImage(frame); }
    static bool saveAnim(const std::vector<pz4fmt::SaveInput>& frames) {
        return pz4flic::saveFlcAnimation(frames);
    }
};

} // namespace

PZ4_DEFINE_FORMAT_PLUGIN(FlcFormat)
