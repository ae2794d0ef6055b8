#include "MemoryBlock.h"

#include <dirent.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>

namespace pz4fmt {

namespace {

size_t pageSize() {
    static const size_t size = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    return size;
}

// What a block of `bytes` takes of the address space: whole huge pages for a large
// one, whole pages otherwise. 0 when that does not fit a size_t.
size_t mappedLength(size_t bytes) {
    const size_t unit = bytes >= MemoryBlock::kHugePage ? MemoryBlock::kHugePage : pageSize();
    return bytes > SIZE_MAX - unit ? 0 : (bytes + unit - 1) / unit * unit;
}

#ifdef MADV_HUGEPAGE
// A virtual machine whose balloon reports free memory to its host gives every free
// 2 MiB block back, and the host fills a huge page in again page by page when it is
// first touched: measured, several times slower than the 4 KiB pages the guest still
// has backed. Huge pages are asked for only where no balloon reports (feature bit 5).
bool hugePagesPay() {
    static const bool pay = [] {
        const char* folder = "/sys/bus/virtio/drivers/virtio_balloon";
        DIR* dir = opendir(folder);
        if (dir == nullptr)
            return true;
        bool reporting = false;
        while (const dirent* e = readdir(dir)) {
            std::ifstream features(std::string(folder) + "/" + e->d_name + "/features");
            std::string bits;
            reporting = reporting || (features >> bits && bits.size() > 5 && bits[5] == '1');
        }
        closedir(dir);
        return !reporting;
    }();
    return pay;
}
#endif

} // namespace

uint8_t* MemoryBlock::mapPages(size_t bytes) {
    const size_t length = mappedLength(bytes);
    if (length == 0)
        return nullptr;
    // A huge page serves only an address range aligned to it: reserve one more and
    // give back what lies before and after the aligned part.
    const bool huge = bytes >= kHugePage;
    const size_t slack = huge ? kHugePage : 0;
    if (length > SIZE_MAX - slack)
        return nullptr;
    void* reserved =
        mmap(nullptr, length + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (reserved == MAP_FAILED)
        return nullptr;
    auto* base = static_cast<uint8_t*>(reserved);
    const uintptr_t address = reinterpret_cast<uintptr_t>(base);
    const size_t before = huge ? (kHugePage - address % kHugePage) % kHugePage : 0;
    if (before > 0)
        munmap(base, before);
    if (slack - before > 0)
        munmap(base + before + length, slack - before);
#ifdef MADV_HUGEPAGE
    if (huge && hugePagesPay())
        madvise(base + before, length, MADV_HUGEPAGE);
#endif
    return base + before;
}

void MemoryBlock::unmapPages(uint8_t* at, size_t bytes) noexcept {
    munmap(at, mappedLength(bytes));
}

} // namespace pz4fmt
