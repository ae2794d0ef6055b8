#include "PngCodec.h"
#include "RasterOracle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return rasterfuzz::check(pz4png::decodePng, pz4png::encodePng, data, size);
}
