#include "InteropKit.h"
#include "PngCodec.h"

using namespace rastertest;

TEST(PngInterop, ReadsFilesImageMagickWrites) {
    checkImageMagickFiles(pz4png::decodePng, {
                                                 {"-type Palette", "PNG8:palette.png"},
                                                 {"-type Palette -interlace PNG", "interlaced.png"},
                                                 {"-type Bilevel", "mono.png"}, // 1-bit grey
                                                 {"-colorspace Gray -depth 8", "grey.png"},
                                             });
}

TEST(PngInterop, ReadsFilesPillowWrites) {
    checkPillowFiles(pz4png::decodePng, {{"P", "palette.png"},
                                         {"b4", "four.png"},
                                         {"b2", "two.png"},
                                         {"1", "mono.png"},
                                         {"L", "grey.png"}});
}

TEST(PngInterop, OthersOpenWhatWeWrite) {
    checkOthersOpen(pz4png::encodePng, "png");
}
