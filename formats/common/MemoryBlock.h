#pragma once

// Memory for the large buffers an open file needs (its bytes, its frames), taken in
// one piece and never cleared first: the reads and decoders that fill it write every
// byte, and clearing would touch it all once more for nothing. A large block comes
// straight from the system's page allocator, on huge pages where the system offers
// them, so many megabytes cost a handful of page faults rather than one every 4 KiB;
// a small one comes from the heap. The platform's part is in MemoryBlockPosix.cpp and
// MemoryBlockWindows.cpp.

#include <cstddef>
#include <cstdint>

namespace pz4fmt {

class MemoryBlock {
public:
    MemoryBlock() = default;
    // `bytes` bytes of unspecified contents; std::bad_alloc when there are none to be had.
    explicit MemoryBlock(size_t bytes);
    ~MemoryBlock() { release(); }
    MemoryBlock(MemoryBlock&& other) noexcept { *this = static_cast<MemoryBlock&&>(other); }
    MemoryBlock& operator=(MemoryBlock&& other) noexcept;
    MemoryBlock(const MemoryBlock&) = delete;
    MemoryBlock& operator=(const MemoryBlock&) = delete;

    uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

    // From this size on a block comes from the page allocator.
    static constexpr size_t kPagesFrom = size_t{1} << 20;
    // The huge page size asked for; large blocks start on a multiple of it.
    static constexpr size_t kHugePage = size_t{2} << 20;

private:
    void release() noexcept;
    // The platform's page allocator: `bytes` rounded up to whole pages (huge pages
    // asked for where they fit), or null when it has none.
    static uint8_t* mapPages(size_t bytes);
    static void unmapPages(uint8_t* at, size_t bytes) noexcept;

    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    bool pages_ = false; // from mapPages, else from the heap
};

} // namespace pz4fmt
