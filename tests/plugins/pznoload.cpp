// A plug-in that claims the extension "nol" but cannot open anything.
#include "FixtureSupport.h"
#include "pz4/PluginContract.h"

PZ4_EXPORT const char* GetExtension() {
    return "nol";
}

PZ4_EXPORT void UnloadObject() {
    fixture::log("UnloadObject");
}
