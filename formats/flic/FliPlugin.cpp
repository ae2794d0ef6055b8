// The pzfli plug-in: FLI animations (and FLC ones named .fli) read; nothing written,
// since an FLI screen is fixed at 320 x 200 and frames of other sizes would not fit.

#include "FlicCodec.h"
#include "common/PluginExports.h"

namespace {

struct FliFormat {
    static constexpr const char* author = "pz4 developers";
    static constexpr const char* version = "1.0";
    static constexpr const char* extension = "fli";
    static constexpr const char* description = "FLI Animation";
    static constexpr bool savesFrames = false;
    static constexpr bool savesAnims = false;

    // Frames are decoded as they are locked: the header and chunk sizes alone give
    // the count, however long the animation.
    static std::unique_ptr<pz4fmt::FrameSource> open(std::vector<uint8_t> bytes,
                                                     pz4fmt::Failure& why) {
        return pz4flic::openFlic(std::move(bytes), pz4fmt::kMaxHeldBytes, &why);
    }
};

} // namespace

PZ4_DEFINE_FORMAT_PLUGIN(FliFormat)
