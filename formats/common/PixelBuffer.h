#pragma once

// A frame's pixels, one palette index a byte. It does what codecs and tests did with
// the std::vector<uint8_t> it took over from, and two things a vector cannot: it can
// live in memory its owner set aside (an open file's frame arena, which outlives every
// frame handed out), and it can grow without clearing bytes its caller is about to
// write. Copies own their bytes, wherever the original lives.

#include "common/MemoryBlock.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <utility>
#include <vector>

namespace pz4fmt {

class PixelBuffer {
public:
    using value_type = uint8_t;
    using size_type = size_t;
    using reference = uint8_t&;
    using const_reference = const uint8_t&;
    using iterator = uint8_t*;
    using const_iterator = const uint8_t*;

    PixelBuffer() = default;
    PixelBuffer(std::initializer_list<uint8_t> values) { assign(values.begin(), values.end()); }
    PixelBuffer(const std::vector<uint8_t>& values) { assign(values.begin(), values.end()); }
    PixelBuffer(const PixelBuffer& other) { assign(other.begin(), other.end()); }
    PixelBuffer(PixelBuffer&& other) noexcept { *this = std::move(other); }
    PixelBuffer& operator=(const PixelBuffer& other) {
        if (this != &other)
            assign(other.begin(), other.end());
        return *this;
    }
    PixelBuffer& operator=(PixelBuffer&& other) noexcept {
        if (this != &other) {
            owned_ = std::move(other.owned_);
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
            capacity_ = std::exchange(other.capacity_, 0);
        }
        return *this;
    }
    PixelBuffer& operator=(const std::vector<uint8_t>& values) {
        assign(values.begin(), values.end());
        return *this;
    }

    // An empty buffer over `capacity` bytes at `at`, which the caller owns and keeps
    // in place for as long as the buffer is used. Growing past them moves the bytes
    // into memory of the buffer's own.
    static PixelBuffer placed(uint8_t* at, size_t capacity) {
        PixelBuffer b;
        b.data_ = at;
        b.capacity_ = capacity;
        return b;
    }

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    size_t capacity() const { return capacity_; }
    // False while placed: the bytes are the placer's.
    bool ownsBytes() const { return owned_.data() != nullptr; }
    uint8_t* data() { return data_; }
    const uint8_t* data() const { return data_; }
    iterator begin() { return data_; }
    iterator end() { return data_ + size_; }
    const_iterator begin() const { return data_; }
    const_iterator end() const { return data_ + size_; }
    uint8_t& operator[](size_t i) { return data_[i]; }
    const uint8_t& operator[](size_t i) const { return data_[i]; }
    uint8_t& front() { return data_[0]; }
    const uint8_t& front() const { return data_[0]; }
    uint8_t& back() { return data_[size_ - 1]; }
    const uint8_t& back() const { return data_[size_ - 1]; }

    void clear() { size_ = 0; }
    // As a vector resizes: bytes added are 0.
    void resize(size_t n) {
        const size_t old = size_;
        resizeForOverwrite(n);
        if (n > old)
            std::memset(data_ + old, 0, n - old);
    }
    // Bytes added are left as they are, for a caller that writes every one of them.
    void resizeForOverwrite(size_t n) {
        if (n > capacity_)
            grow(n);
        size_ = n;
    }
    void assign(size_t n, uint8_t value) {
        resizeForOverwrite(n);
        if (n > 0)
            std::memset(data_, value, n);
    }
    template <std::input_iterator It> void assign(It first, It last) {
        resizeForOverwrite(static_cast<size_t>(std::distance(first, last)));
        std::copy(first, last, data_);
    }

    operator std::vector<uint8_t>() const { return std::vector<uint8_t>(begin(), end()); }

    friend bool operator==(const PixelBuffer& a, const PixelBuffer& b) {
        return a.size_ == b.size_ && (a.size_ == 0 || std::memcmp(a.data_, b.data_, a.size_) == 0);
    }
    friend bool operator==(const PixelBuffer& a, const std::vector<uint8_t>& b) {
        return a.size_ == b.size() &&
               (a.size_ == 0 || std::memcmp(a.data_, b.data(), a.size_) == 0);
    }

private:
    // Into memory of the buffer's own, the bytes held coming along.
    void grow(size_t n) {
        MemoryBlock bigger(n);
        if (size_ > 0)
            std::memcpy(bigger.data(), data_, size_);
        owned_ = std::move(bigger);
        data_ = owned_.data();
        capacity_ = n;
    }

    MemoryBlock owned_; // empty while placed
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

} // namespace pz4fmt
