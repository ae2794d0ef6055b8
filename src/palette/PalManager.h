#pragma once

#include "frames/JqString.h"
#include "pz4/PluginContract.h"

#include <cstdint>
#include <memory>

// The program's current 256-colour palette and the name of the file it came from.
class cPalManager {
public:
    static constexpr int kEntries = 256;
    static constexpr int kBytes = pz4::plugin::kPaletteBytes;
    // SetEntries reads its source as red, green, blue triples only with this layout.
    static constexpr int32_t kInterleaved = 16;
    static constexpr unsigned char kDefaultComponent = 64;

    // Every entry the dark grey (64, 64, 64), no name.
    cPalManager();
    // Reads a raw 768-byte palette file. A file that cannot be opened leaves the
    // palette unnamed; whatever the file does not cover stays at the default grey.
    explicit cPalManager(const char* path);

    // The path the palette was loaded from, or null.
    const char* GetName() const { return name_.text(); }
    // False, and nothing read, for an index outside 0 to 255.
    bool GetEntry(int32_t index, unsigned char& red, unsigned char& green,
                  unsigned char& blue) const;
    bool SetEntry(int32_t index, unsigned char red, unsigned char green, unsigned char blue);
    // Sets `count` entries from `start`: triples with kInterleaved, otherwise `count`
    // reds, then `count` greens, then `count` blues. False, nothing changed, when the
    // run does not fit into entries 0 to 255.
    bool SetEntries(int32_t start, int32_t count, int32_t layout, const unsigned char* source);

    // Entry k at bytes 3k (red), 3k+1, 3k+2. Shared: frame records showing the
    // current palette hold a reference, so their colours stay valid after this
    // manager is replaced or destroyed.
    std::shared_ptr<unsigned char[]> colors;

private:
    JqString name_;
};
