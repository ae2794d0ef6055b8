#include "BmpCodec.h"
#include "InteropKit.h"

using namespace rastertest;

TEST(BmpInterop, ReadsFilesImageMagickWrites) {
    checkImageMagickFiles(pz4bmp::decodeBmp,
                          {
                              {"-type Palette", "palette.bmp"},           // 4-bit, V5 header
                              {"-type Palette -compress RLE", "rle.bmp"}, // RLE8
                              {"-type Palette", "BMP3:win3.bmp"},         // 40-byte header
                              {"-type Palette", "BMP2:os2.bmp"},          // OS/2 1.x
                              {"-type Bilevel", "mono.bmp"},              // 1-bit
                          });
}

TEST(BmpInterop, ReadsFilesPillowWrites) {
    checkPillowFiles(pz4bmp::decodeBmp,
                     {{"P", "palette.bmp"}, {"1", "mono.bmp"}, {"L", "grey.bmp"}});
}

TEST(BmpInterop, OthersOpenWhatWeWrite) {
    checkOthersOpen(pz4bmp::encodeBmp, "bmp");
}
