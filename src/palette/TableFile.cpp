#include "palette/TableFile.h"

#include <filesystem>
#include <system_error>

std::FILE* openTableFile(const char* path) {
    if (path == nullptr)
        return nullptr;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return nullptr;
    return std::fopen(path, "rb");
}
