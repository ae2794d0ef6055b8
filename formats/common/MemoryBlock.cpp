#include "MemoryBlock.h"

#include <new>
#include <utility>

namespace pz4fmt {

MemoryBlock::MemoryBlock(size_t bytes) : size_(bytes) {
    if (bytes == 0)
        return;
    if (bytes >= kPagesFrom) {
        data_ = mapPages(bytes);
        pages_ = data_ != nullptr;
    }
    // The heap may still have room where the page allocator refused.
    if (data_ == nullptr)
        data_ = static_cast<uint8_t*>(::operator new(bytes));
}

MemoryBlock& MemoryBlock::operator=(MemoryBlock&& other) noexcept {
    if (this != &other) {
        release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        pages_ = std::exchange(other.pages_, false);
    }
    return *this;
}

void MemoryBlock::release() noexcept {
    if (data_ == nullptr)
        return;
    if (pages_)
        unmapPages(data_, size_);
    else
        ::operator delete(data_);
    data_ = nullptr;
    size_ = 0;
    pages_ = false;
}

} // namespace pz4fmt
