// Each input is a settings file: every key is read, then one is rewritten and
// must read back as written.
#include "context/IniManager.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

const char* const kKeys[] = {"LiX", "AnX", "PaX", "DefaultPalette", "Foo"};

char scratch[] = "/tmp/pz4fuzz-settings-XXXXXX";

void removeScratch() {
    std::remove("pz.ini");
    std::remove(cIniManager::kTempFileName);
    rmdir(scratch);
}

// pztemp.ini is made in the working directory and renamed onto pz.ini, so both
// live in a scratch directory of their own.
void enterScratchDirectory() {
    static const bool entered = [] {
        if (mkdtemp(scratch) == nullptr || chdir(scratch) != 0)
            std::abort();
        std::atexit(removeScratch);
        return true;
    }();
    (void)entered;
}

// Twenty thousand runs cannot wait for the disk each time.
class NoSyncOps : public cIniManager::FileOps {
public:
    bool Flush(std::FILE* file) override { return std::fflush(file) == 0; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    enterScratchDirectory();
    std::FILE* file = std::fopen("pz.ini", "wb");
    if (file == nullptr)
        std::abort();
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    cIniManager ini("pz.ini", std::make_unique<NoSyncOps>());
    for (const char* key : kKeys) {
        int32_t number = 0;
        ini.GetUInt(key, number);
        JqString text;
        ini.GetString(key, text);
    }
    const char* key = kKeys[size % 3];
    int32_t back = -1;
    if (!ini.SetUInt(key, 4321) || !ini.GetUInt(key, back) || back != 4321)
        std::abort();
    return 0;
}
