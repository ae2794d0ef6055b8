// The pzjpeg plug-in: JPEG pictures named .jpeg, read.

#include "JpegReader.h"
#include "common/PluginExports.h"

namespace {

struct JpegFormat : pz4jpeg::JpegReader {
    static constexpr const char* extension = "jpeg";
};

} // namespace

PZ4_DEFINE_FORMAT_PLUGIN(JpegFormat)
