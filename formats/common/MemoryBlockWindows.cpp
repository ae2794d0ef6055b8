#include "MemoryBlock.h"

#include <windows.h>

namespace pz4fmt {

// Large pages on Windows need a privilege few accounts hold: plain pages here.
uint8_t* MemoryBlock::mapPages(size_t bytes) {
    return static_cast<uint8_t*>(
        VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
}

void MemoryBlock::unmapPages(uint8_t* at, size_t) noexcept {
    VirtualFree(at, 0, MEM_RELEASE);
}

} // namespace pz4fmt
