#include "palette/TRNManager.h"
#include "palette/TableFile.h"

#include <cstdio>

namespace {

std::array<unsigned char, cTRNManager::kEntries> identity() {
    std::array<unsigned char, cTRNManager::kEntries> table{};
    for (int p = 0; p < cTRNManager::kEntries; ++p)
        table[static_cast<size_t>(p)] = static_cast<unsigned char>(p);
    return table;
}

} // namespace

cTRNManager::cTRNManager() : table(identity()), name_("Default (1 to 1 translation)") {}

cTRNManager::cTRNManager(const char* path) : table(identity()), name_(path) {
    std::FILE* file = openTableFile(path);
    if (file == nullptr) {
        name_ = JqString();
        return;
    }
    // A short read (end of file or a read error) keeps the identity for the rest.
    std::fread(table.data(), 1, table.size(), file);
    std::fclose(file);
}
