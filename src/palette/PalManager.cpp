#include "palette/PalManager.h"
#include "palette/TableFile.h"

#include <cstdio>
#include <cstring>

namespace {

std::shared_ptr<unsigned char[]> greyStorage() {
    std::shared_ptr<unsigned char[]> storage(new unsigned char[cPalManager::kBytes]);
    std::memset(storage.get(), cPalManager::kDefaultComponent, cPalManager::kBytes);
    return storage;
}

} // namespace

cPalManager::cPalManager() : colors(greyStorage()) {}

cPalManager::cPalManager(const char* path) : colors(greyStorage()), name_(path) {
    std::FILE* file = openTableFile(path);
    if (file == nullptr) {
        name_ = JqString();
        return;
    }
    // A short read (end of file or a read error) leaves the rest grey.
    std::fread(colors.get(), 1, kBytes, file);
    std::fclose(file);
}

bool cPalManager::GetEntry(int32_t index, unsigned char& red, unsigned char& green,
                           unsigned char& blue) const {
    if (!colors || index < 0 || index >= kEntries)
        return false;
    const unsigned char* entry = colors.get() + 3 * index;
    red = entry[0];
    green = entry[1];
    blue = entry[2];
    return true;
}

bool cPalManager::SetEntry(int32_t index, unsigned char red, unsigned char green,
                           unsigned char blue) {
    if (!colors || index < 0 || index >= kEntries)
        return false;
    unsigned char* entry = colors.get() + 3 * index;
    entry[0] = red;
    entry[1] = green;
    entry[2] = blue;
    return true;
}

bool cPalManager::SetEntries(int32_t start, int32_t count, int32_t layout,
                             const unsigned char* source) {
    if (!colors || start < 0 || start >= kEntries)
        return false;
    if (count <= 0)
        return true;
    if (count > kEntries - start || source == nullptr)
        return false;
    for (int32_t i = 0; i < count; ++i) {
        unsigned char* entry = colors.get() + 3 * (start + i);
        if (layout == kInterleaved) {
            entry[0] = source[3 * i];
            entry[1] = source[3 * i + 1];
            entry[2] = source[3 * i + 2];
        } else {
            entry[0] = source[i];
            entry[1] = source[count + i];
            entry[2] = source[2 * count + i];
        }
    }
    return true;
}
