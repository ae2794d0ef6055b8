// A library that must never be loaded: a stranger's file left in a downloads
// folder. Loading it, even to ask its name, leaves a mark in the working folder,
// and it claims the GIF extension so that it would also take over opening files.
#include "pz4/PluginContract.h"

#include <cstdio>

namespace {

__attribute__((constructor)) void leaveMark() {
    if (std::FILE* mark = std::fopen("PLANTED-LIBRARY-RAN", "w"))
        std::fclose(mark);
}

} // namespace

PZ4_EXPORT const char* GetExtension() {
    return "gif";
}
