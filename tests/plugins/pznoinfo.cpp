// A plug-in that opens files and nothing else: no information, no frame count,
// no frames, no saving, no UnloadObject.
#include "FixtureSupport.h"
#include "pz4/PluginContract.h"

PZ4_EXPORT int LoadObject(char* path) {
    fixture::log(std::string("LoadObject ") + (path != nullptr ? path : "(null)"));
    return 1;
}
