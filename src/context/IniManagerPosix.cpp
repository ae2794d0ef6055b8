#include "context/IniManager.h"

#include <unistd.h>

bool cIniManager::FileOps::Flush(std::FILE* file) {
    if (std::fflush(file) != 0)
        return false;
    return fsync(fileno(file)) == 0;
}

// rename replaces an existing target in one step.
bool cIniManager::FileOps::Replace(const char* from, const char* to) {
    return std::rename(from, to) == 0;
}
