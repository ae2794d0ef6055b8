// Animation scripts are read from a path, so each input goes through a file.
#include "anim/ScriptManager.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

char scratch[] = "/tmp/pz4fuzz-script-XXXXXX";

void removeScratch() {
    std::remove(scratch);
}

const char* scratchPath() {
    static const bool made = [] {
        const int fd = mkstemp(scratch);
        if (fd < 0)
            std::abort();
        close(fd);
        std::atexit(removeScratch);
        return true;
    }();
    (void)made;
    return scratch;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* path = scratchPath();
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr)
        std::abort();
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    const cScriptManager script(path);
    if (script.steps) {
        for (int32_t i = 0; i <= script.steps->LastIndex(); ++i) {
            const int32_t frame = script.steps->GetFrameNumber(i);
            const int32_t flags = script.steps->GetFlags(i);
            if (frame < 0 || frame > cScriptManager::kMaxFrameNumber || flags < 0 || flags > 3)
                std::abort();
        }
    }
    return 0;
}
