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

    static bool decode(const uint8_t* data, size_t size, pz4fmt::Image& out) {
        return pz4flic::decodeFlic(data, size, out);
    }
};

} // namespace

PZ4_DEFINE_FORMAT_PLUGIN(FliFormat)
