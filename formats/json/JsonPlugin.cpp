// The pzjson plug-in: sprite sheets, a JSON descriptor beside its PNG picture,
// read as frames and written from any frames.

#include "SheetCodec.h"
#include "common/PluginExports.h"

namespace {

struct JsonFormat {
    static constexpr const char* author = "pz4 developers";
    static constexpr const char* version = "1.0";
    static constexpr const char* extension = "json";
    static constexpr const char* description = "Sprite Sheet";
    static constexpr bool savesFrames = true;
    static constexpr bool savesAnims = true;

    // The picture is a file of its own, found from the descriptor's path.
    static std::unique_ptr<pz4fmt::FrameSource> open(const char* path, pz4fmt::FileBytes bytes,
                                                     pz4fmt::Failure& why) {
        return pz4json::openSheet(path, bytes.data(), bytes.size(), why);
    }
    // Saved frames, like an animation, make one sheet.
    static bool saveAll(const std::vector<pz4fmt::SaveInput>& frames) {
        return pz4json::saveSheet(frames);
    }
    static bool saveAnim(const std::vector<pz4fmt::SaveInput>& frames) {
        return pz4json::saveSheet(frames);
    }
};

} // namespace

PZ4_DEFINE_FORMAT_PLUGIN(JsonFormat)
