#include "context/IniManager.h"

#include <io.h>
#include <windows.h>

bool cIniManager::FileOps::Flush(std::FILE* file) {
    if (std::fflush(file) != 0)
        return false;
    return _commit(_fileno(file)) == 0;
}

// rename refuses an existing target here; MoveFileEx replaces it in one step.
bool cIniManager::FileOps::Replace(const char* from, const char* to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
