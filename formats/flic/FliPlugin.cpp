// The pzfli plug-in: FLI animations (and FLC ones named .fli) read; nothing written,
// since an FLI screen is fixed at 320 x 200 and frames of other sizes would not fit.

#include "FlicPlugin.h"
#include "common/PluginExports.h"

namespace {

struct FliFormat : pz4flic::FlicReader {
    static constexpr const char* extension = "fli";
    static constexpr const char* description = "FLI Animation";
    static constexpr bool savesFrames = false;
    static constexpr bool savesAnims = false;
};

} // namespace

PZ4_DEFINE_FORMAT_PLUGIN(FliFormat)
