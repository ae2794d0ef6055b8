#include "BmpCodec.h"
#include "RasterOracle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return rasterfuzz::check(pz4bmp::decodeBmp, pz4bmp::encodeBmp, data, size);
}
