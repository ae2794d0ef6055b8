#include "FileInput.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

// The C runtime's file functions: they set errno, so reasons read as they do
// elsewhere. Windows has no scatter read into arbitrary buffers: rows are read one
// by one.

namespace pz4fmt {

InputFile::~InputFile() {
    if (fd_ >= 0)
        _close(fd_);
}

bool InputFile::open(const char* path, Failure& why) {
    if (path == nullptr)
        return why.fail("no file name");
    fd_ = _open(path, _O_RDONLY | _O_BINARY);
    if (fd_ < 0)
        return why.fail("cannot be opened (%s)", std::strerror(errno));
    struct _stati64 st {};
    if (_fstati64(fd_, &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFREG) {
        seekable_ = true;
        size_ = static_cast<uint64_t>(st.st_size);
    }
    return true;
}

bool InputFile::readAt(uint64_t offset, void* to, size_t n, Failure& why) {
    if (_lseeki64(fd_, static_cast<__int64>(offset), SEEK_SET) < 0)
        return readFailed(why);
    auto* at = static_cast<uint8_t*>(to);
    while (n > 0) {
        const int got = _read(fd_, at, static_cast<unsigned>(std::min<size_t>(n, INT_MAX)));
        if (got < 0)
            return readFailed(why);
        if (got == 0)
            return endedEarly(why);
        at += got;
        n -= static_cast<size_t>(got);
    }
    return true;
}

bool InputFile::readRowsScattered(uint64_t offset, size_t stride, size_t rowBytes, size_t count,
                                  uint8_t* first, ptrdiff_t step, Failure& why) {
    return readRowByRow(offset, stride, rowBytes, count, first, step, why);
}

ptrdiff_t InputFile::readSome(void* to, size_t n, Failure& why) {
    const int got = _read(fd_, to, static_cast<unsigned>(std::min<size_t>(n, INT_MAX)));
    if (got < 0)
        readFailed(why);
    return got;
}

} // namespace pz4fmt
