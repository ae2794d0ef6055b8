#include "InteropKit.h"
#include "PcxCodec.h"

using namespace rastertest;

TEST(PcxInterop, ReadsFilesImageMagickWrites) {
    checkImageMagickFiles(pz4pcx::decodePcx, {{"-type Palette", "palette.pcx"}});
}

TEST(PcxInterop, ReadsFilesPillowWrites) {
    checkPillowFiles(pz4pcx::decodePcx, {{"P", "palette.pcx"}, {"1", "mono.pcx"}});
}

TEST(PcxInterop, OthersOpenWhatWeWrite) {
    checkOthersOpen(pz4pcx::encodePcx, "pcx");
}
