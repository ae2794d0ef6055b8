#pragma once

#include "pz4/PluginContract.h"

#include <array>
#include <deque>
#include <span>
#include <string>
#include <vector>

// The chain of SAVE_FRAME records handed to a plug-in's SaveObject or SaveAnim,
// with the names and the palette its records point to. The records point into
// the plug-in's buffers, which the chain never frees; release the chain before
// the file those buffers came from is closed.
class cSaveChain {
public:
    enum class Kind {
        Frames,    // one file per record; a frame with its own palette keeps its colour count
        Animation, // one file, named in the first record; 256 colours in every record
    };

    // `fallbackPalette` (768 bytes) stands in for frames that bring no palette; the
    // chain keeps its own copy, so it may be replaced while the chain lives.
    cSaveChain(Kind kind, const unsigned char* fallbackPalette);
    cSaveChain(const cSaveChain&) = delete;
    cSaveChain& operator=(const cSaveChain&) = delete;

    // Appends one frame as locked from a plug-in (`palette` null when it has none;
    // `transparent` its transparent index, -1 for none). An animation keeps
    // `fileName` of the first record only.
    void Append(const char* fileName, unsigned char* pixels, unsigned char* palette, int width,
                int height, int colorCount, int tag, int transparent = -1);

    // The first record, or null while the chain is empty.
    SAVE_FRAME* First() { return records_.empty() ? nullptr : &records_.front(); }
    int Count() const { return static_cast<int>(records_.size()); }
    // The transparent index of each record, in order, for SetSaveTransparency.
    std::span<const int> Transparency() const { return transparency_; }

private:
    Kind kind_;
    std::array<unsigned char, pz4::plugin::kPaletteBytes> fallback_;
    // Deques keep their elements in place as they grow, so the links stay valid.
    std::deque<SAVE_FRAME> records_;
    std::deque<std::string> names_;
    std::vector<int> transparency_;
};
