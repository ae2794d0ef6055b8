#pragma once

// Reading the files the plug-ins open. A decoder reads a file through a ByteSource,
// which is either bytes already in memory (what the byte-based decode functions are
// given, in the tests and fuzz targets) or an open file read at offsets (what a
// plug-in opens), so one decoder serves both and a plug-in reads each part of a file
// once, to where it belongs. The platform's part is in FileInputPosix.cpp and
// FileInputWindows.cpp.

#include "common/Failure.h"
#include "common/MemoryBlock.h"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace pz4fmt {

// A file open for reading.
class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // False, with the reason ("cannot be opened (No such file or directory)"), when
    // `path` cannot be opened for reading.
    bool open(const char* path, Failure& why);
    // A regular file: its size is known and it is read at offsets. Anything else (a
    // pipe, a device, a folder) is only read through, with readSome.
    bool seekable() const { return seekable_; }
    uint64_t size() const { return size_; }

    // Exactly `n` bytes from `offset` into `to`; false, with the reason, when the file
    // ends before them or cannot be read.
    bool readAt(uint64_t offset, void* to, size_t n, Failure& why);
    // `count` rows of `rowBytes` each, `stride` bytes apart in the file from `offset`,
    // row k to `first + k * step` (a negative step turns the rows over on the way). The
    // gaps between rows are read past, not kept; the last row's is not read. One system
    // call for many rows where the system has scatter reads.
    bool readRows(uint64_t offset, size_t stride, size_t rowBytes, size_t count, uint8_t* first,
                  ptrdiff_t step, Failure& why);
    // Up to `n` bytes from where the last readSome stopped: their count, 0 at the end,
    // -1 (with the reason) when the file cannot be read.
    ptrdiff_t readSome(void* to, size_t n, Failure& why);

private:
    // Rows with gaps no wider than a row, in as few system calls as the platform has.
    bool readRowsScattered(uint64_t offset, size_t stride, size_t rowBytes, size_t count,
                           uint8_t* first, ptrdiff_t step, Failure& why);
    bool readRowByRow(uint64_t offset, size_t stride, size_t rowBytes, size_t count, uint8_t* first,
                      ptrdiff_t step, Failure& why);
    // The reasons a read fails with: errno's, or the file's having been cut short.
    static bool readFailed(Failure& why);
    static bool endedEarly(Failure& why);

    int fd_ = -1;
    bool seekable_ = false;
    uint64_t size_ = 0;
};

// A file's bytes in memory: read once into memory of their own, never cleared first,
// or bytes handed over. The animation readers keep them while the file is open. They
// are read rather than mapped: a mapping turns the file's being cut short while it is
// open (by another program, or by saving over it) into a crash on the next frame
// drawn, and one read costs little beside drawing the frames.
class FileBytes {
public:
    FileBytes() = default;
    FileBytes(std::vector<uint8_t> bytes)
        : handed_(std::move(bytes)), data_(handed_.data()), size_(handed_.size()) {}
    // The first `size` bytes of `block`.
    FileBytes(MemoryBlock block, size_t size)
        : read_(std::move(block)), data_(read_.data()), size_(size) {}
    FileBytes(FileBytes&& other) noexcept { *this = std::move(other); }
    FileBytes& operator=(FileBytes&& other) noexcept {
        handed_ = std::move(other.handed_);
        read_ = std::move(other.read_);
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        return *this;
    }

    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

private:
    std::vector<uint8_t> handed_;
    MemoryBlock read_;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

// Where a decoder reads a file from: bytes in memory, or a file opened here (a
// regular one read at offsets; anything else read whole first).
class ByteSource {
public:
    // `size` bytes at `data`, which the caller keeps for as long as the source is used.
    ByteSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    ByteSource() = default;
    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;

    // The file at `path`; false, with readFile's reasons, when it cannot be opened or
    // is larger than `cap`.
    bool open(const char* path, size_t cap, Failure& why);

    uint64_t size() const { return size_; }
    // Whether the bytes are all in memory already, so a view of any part costs nothing.
    bool inMemory() const { return !file_.seekable(); }

    // Bytes [offset, offset + n) of the file: in memory, a pointer into them; from a
    // file, read into `scratch`. Null, with the reason, when they are not all there.
    const uint8_t* view(uint64_t offset, size_t n, MemoryBlock& scratch, Failure& why);
    // Rows as InputFile::readRows reads them, from memory or from the file.
    bool readRows(uint64_t offset, size_t stride, size_t rowBytes, size_t count, uint8_t* first,
                  ptrdiff_t step, Failure& why);

private:
    const uint8_t* data_ = nullptr;
    uint64_t size_ = 0;
    InputFile file_;
    FileBytes whole_; // a file that cannot be read at offsets
};

} // namespace pz4fmt
