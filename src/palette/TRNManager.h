#pragma once

#include "frames/JqString.h"

#include <array>
#include <cstdint>

// The current colour translation table: pixel value p is shown with palette
// entry table[p].
class cTRNManager {
public:
    static constexpr int kEntries = 256;

    // The identity table, named "Default (1 to 1 translation)".
    cTRNManager();
    // Reads a raw 256-byte table file. A file that cannot be opened leaves the
    // table unnamed; entries the file does not cover keep the identity.
    explicit cTRNManager(const char* path);

    // The table's name (the path it was loaded from), or null.
    const char* GetName() const { return name_.text(); }
    // The entry at pixel modulo 256.
    int Translate(int32_t pixel) const { return table[index(pixel)]; }
    // Stores the low 8 bits of value at index modulo 256.
    void SetTranslation(int32_t at, int32_t value) {
        table[index(at)] = static_cast<unsigned char>(value & 0xFF);
    }

    std::array<unsigned char, kEntries> table;

private:
    static size_t index(int32_t i) { return static_cast<uint32_t>(i) % kEntries; }

    JqString name_;
};
