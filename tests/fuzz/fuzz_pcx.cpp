#include "PcxCodec.h"
#include "RasterOracle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return rasterfuzz::check(pz4pcx::decodePcx, pz4pcx::encodePcx, data, size);
}
