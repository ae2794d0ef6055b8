// The pzjpg plug-in: JPEG pictures named .jpg, read.

#include "JpegReader.h"
#include "common/PluginExports.h"

namespace {

struct JpgFormat : pz4jpeg::JpegReader {
    static constexpr const char* extension = "jpg";
};

} // namespace

PZ4_DEFINE_FORMAT_PLUGIN(JpgFormat)
