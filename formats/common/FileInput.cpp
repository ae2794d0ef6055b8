#include "FileInput.h"

#include "FormatKit.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace pz4fmt {

namespace {

bool tooLarge(size_t cap, Failure& why) {
    return why.fail("larger than %s", sizeText(cap).c_str());
}

// What is left of `file` to its end into `out`: in one read when its size is known,
// else as it comes.
bool readRest(InputFile& file, FileBytes& out, size_t cap, Failure& why) {
    if (file.seekable()) {
        if (file.size() > cap)
            return tooLarge(cap, why);
        const auto size = static_cast<size_t>(file.size());
        MemoryBlock bytes(size);
        if (size > 0 && !file.readAt(0, bytes.data(), size, why))
            return false;
        out = FileBytes(std::move(bytes), size);
        return true;
    }
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    for (;;) {
        const ptrdiff_t n = file.readSome(chunk, sizeof chunk, why);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        if (static_cast<size_t>(n) > cap - bytes.size())
            return tooLarge(cap, why);
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    out = FileBytes(std::move(bytes));
    return true;
}

} // namespace

bool readFile(const char* path, FileBytes& out, size_t cap, Failure* why) {
    out = FileBytes{};
    Failure ignored;
    Failure& w = why != nullptr ? *why : ignored;
    InputFile file;
    return file.open(path, w) && readRest(file, out, cap, w);
}

bool readFile(const char* path, std::vector<uint8_t>& out, size_t cap, Failure* why) {
    out.clear();
    FileBytes bytes;
    if (!readFile(path, bytes, cap, why))
        return false;
    out.assign(bytes.data(), bytes.data() + bytes.size());
    return true;
}

bool InputFile::readRows(uint64_t offset, size_t stride, size_t rowBytes, size_t count,
                         uint8_t* first, ptrdiff_t step, Failure& why) {
    if (count == 0 || rowBytes == 0)
        return true;
    if (stride == rowBytes && step == static_cast<ptrdiff_t>(rowBytes))
        return readAt(offset, first, rowBytes * count, why);
    // Wide gaps are cheaper skipped than read.
    if (stride - rowBytes > rowBytes)
        return readRowByRow(offset, stride, rowBytes, count, first, step, why);
    return readRowsScattered(offset, stride, rowBytes, count, first, step, why);
}

bool InputFile::readRowByRow(uint64_t offset, size_t stride, size_t rowBytes, size_t count,
                             uint8_t* first, ptrdiff_t step, Failure& why) {
    for (size_t k = 0; k < count; ++k)
        if (!readAt(offset + k * stride, first + static_cast<ptrdiff_t>(k) * step, rowBytes, why))
            return false;
    return true;
}

bool InputFile::readFailed(Failure& why) {
    return why.fail("cannot be read (%s)", std::strerror(errno));
}

bool InputFile::endedEarly(Failure& why) {
    return why.fail("cannot be read (the file is shorter than when it was opened)");
}

bool ByteSource::open(const char* path, size_t cap, Failure& why) {
    if (!file_.open(path, why))
        return false;
    if (file_.seekable()) {
        if (file_.size() > cap)
            return tooLarge(cap, why);
        size_ = file_.size();
        return true;
    }
    if (!readRest(file_, whole_, cap, why))
        return false;
    data_ = whole_.data();
    size_ = whole_.size();
    return true;
}

const uint8_t* ByteSource::view(uint64_t offset, size_t n, MemoryBlock& scratch, Failure& why) {
    if (offset > size_ || n > size_ - offset) {
        why.fail("file ends before byte %llu", static_cast<unsigned long long>(offset + n));
        return nullptr;
    }
    if (inMemory())
        return data_ + offset;
    if (scratch.size() < n)
        scratch = MemoryBlock(n);
    return file_.readAt(offset, scratch.data(), n, why) ? scratch.data() : nullptr;
}

bool ByteSource::readRows(uint64_t offset, size_t stride, size_t rowBytes, size_t count,
                          uint8_t* first, ptrdiff_t step, Failure& why) {
    if (count == 0 || rowBytes == 0)
        return true;
    const uint64_t span = (count - 1) * static_cast<uint64_t>(stride) + rowBytes;
    if (offset > size_ || span > size_ - offset)
        return why.fail("file ends before byte %llu",
                        static_cast<unsigned long long>(offset + span));
    if (!inMemory())
        return file_.readRows(offset, stride, rowBytes, count, first, step, why);
    for (size_t k = 0; k < count; ++k)
        std::memcpy(first + static_cast<ptrdiff_t>(k) * step, data_ + offset + k * stride,
                    rowBytes);
    return true;
}

} // namespace pz4fmt
