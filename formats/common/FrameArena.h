#pragma once

// Memory for the frames an open file hands out: a few large blocks (MemoryBlock: on
// huge pages where the system has them), each frame a slice of one. A frame's slice
// stays where it is, holding what was written there, until the arena goes, which is
// when the file closes; nothing is given back one frame at a time, so handing out a
// frame costs no allocation of its own and closing the file a few releases.
//
// Under AddressSanitizer only the slices handed out are addressable, so a codec that
// writes past its frame is caught as it would be with a heap block of its own.

#include "common/MemoryBlock.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define PZ4_ARENA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PZ4_ARENA_ASAN 1
#endif
#endif
#ifdef PZ4_ARENA_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace pz4fmt {

class FrameArena {
public:
    // `expectedBytes`: what every frame of the file would take together, which sizes
    // the blocks (0 when not known: they then double).
    explicit FrameArena(size_t expectedBytes = 0) : expected_(expectedBytes) {}
    // Memory of the blocks may come back from the system for anything else.
    ~FrameArena() {
        for (MemoryBlock& b : blocks_)
            unpoison(b.data(), b.size());
    }
    FrameArena(const FrameArena&) = delete;
    FrameArena& operator=(const FrameArena&) = delete;

    // `bytes` bytes, 64-byte aligned, of unspecified contents; std::bad_alloc when
    // there is no memory.
    uint8_t* take(size_t bytes) {
        const size_t n = rounded(bytes);
        for (auto it = spare_.begin(); it != spare_.end(); ++it)
            if (it->second == n) {
                uint8_t* at = it->first;
                spare_.erase(it);
                unpoison(at, bytes);
                return at;
            }
        if (blocks_.empty() || blocks_.back().size() - used_ < n) {
            const size_t toCome = expected_ > reserved_ ? expected_ - reserved_ : reserved_;
            blocks_.emplace_back(std::max(n, std::clamp(toCome, kMinBlock, kMaxBlock)));
            used_ = 0;
            reserved_ += blocks_.back().size();
            poison(blocks_.back().data(), blocks_.back().size());
        }
        uint8_t* at = blocks_.back().data() + used_;
        used_ += n;
        unpoison(at, bytes);
        return at;
    }

    // `bytes` taken at `at` and not handed out after all (a frame whose drawing
    // failed, or one made ahead and given up): reused by a later take of the size.
    void giveBack(uint8_t* at, size_t bytes) {
        const size_t n = rounded(bytes);
        poison(at, n);
        if (!blocks_.empty() && at + n == blocks_.back().data() + used_)
            used_ -= n;
        else
            spare_.emplace_back(at, n);
    }

    size_t blockCount() const { return blocks_.size(); }

private:
    static constexpr size_t kAlign = 64;
    static constexpr size_t kMinBlock = size_t{256} << 10;
    static constexpr size_t kMaxBlock = size_t{64} << 20;

    static size_t rounded(size_t bytes) {
        return (std::max<size_t>(bytes, 1) + kAlign - 1) / kAlign * kAlign;
    }
#ifdef PZ4_ARENA_ASAN
    static void poison(uint8_t* at, size_t n) {
        ASAN_POISON_MEMORY_REGION(at, n);
    }
    static void unpoison(uint8_t* at, size_t n) {
        ASAN_UNPOISON_MEMORY_REGION(at, n);
    }
#else
    static void poison(uint8_t*, size_t) {}
    static void unpoison(uint8_t*, size_t) {}
#endif

    std::vector<MemoryBlock> blocks_;
    size_t used_ = 0; // of the last block
    size_t reserved_ = 0;
    size_t expected_;
    std::vector<std::pair<uint8_t*, size_t>> spare_;
};

} // namespace pz4fmt
