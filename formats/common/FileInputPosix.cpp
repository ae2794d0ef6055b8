#include "FileInput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

namespace pz4fmt {

namespace {

// Scatter reads take at most this many pieces a call.
constexpr size_t kMaxPieces = IOV_MAX < 1024 ? IOV_MAX : 1024;

// A read call made again for as long as a signal interrupts it.
template <class Read> ssize_t retried(Read read) {
    for (;;) {
        const ssize_t got = read();
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

} // namespace

InputFile::~InputFile() {
    if (fd_ >= 0)
        close(fd_);
}

bool InputFile::open(const char* path, Failure& why) {
    if (path == nullptr)
        return why.fail("no file name");
    fd_ = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        return why.fail("cannot be opened (%s)", std::strerror(errno));
    struct stat st {};
    if (fstat(fd_, &st) == 0 && S_ISREG(st.st_mode)) {
        seekable_ = true;
        size_ = static_cast<uint64_t>(st.st_size);
    }
    return true;
}

bool InputFile::readAt(uint64_t offset, void* to, size_t n, Failure& why) {
    auto* at = static_cast<uint8_t*>(to);
    while (n > 0) {
        const ssize_t got = retried([&] {
            return pread(fd_, at, std::min<size_t>(n, SSIZE_MAX), static_cast<off_t>(offset));
        });
        if (got <= 0)
            return got < 0 ? readFailed(why) : endedEarly(why);
        at += got;
        n -= static_cast<size_t>(got);
        offset += static_cast<uint64_t>(got);
    }
    return true;
}

// Rows and the gaps between them as the pieces of one read, the gaps all landing in one
// scrap buffer.
bool InputFile::readRowsScattered(uint64_t offset, size_t stride, size_t rowBytes, size_t count,
                                  uint8_t* first, ptrdiff_t step, Failure& why) {
    const size_t gap = stride - rowBytes;
    std::vector<uint8_t> scrap(std::max<size_t>(gap, 1));
    std::vector<iovec> pieces;
    pieces.reserve(kMaxPieces);
    for (size_t k = 0; k < count;) {
        // Rows k .. k + rows - 1, without the gap after the last of them.
        const size_t rows = std::min(count - k, (kMaxPieces + 1) / 2);
        pieces.clear();
        for (size_t r = 0; r < rows; ++r) {
            if (r > 0 && gap > 0)
                pieces.push_back({scrap.data(), gap});
            pieces.push_back({first + static_cast<ptrdiff_t>(k + r) * step, rowBytes});
        }
        uint64_t at = offset + k * stride;
        size_t piece = 0;
        while (piece < pieces.size()) {
            const ssize_t got = retried([&] {
                return preadv(fd_, pieces.data() + piece, static_cast<int>(pieces.size() - piece),
                              static_cast<off_t>(at));
            });
            if (got <= 0)
                return got < 0 ? readFailed(why) : endedEarly(why);
            at += static_cast<uint64_t>(got);
            // Past the pieces filled; into the one a short read stopped inside.
            for (size_t left = static_cast<size_t>(got); left > 0;) {
                iovec& p = pieces[piece];
                const size_t taken = std::min(left, p.iov_len);
                p.iov_base = static_cast<uint8_t*>(p.iov_base) + taken;
                p.iov_len -= taken;
                left -= taken;
                if (p.iov_len == 0)
                    ++piece;
            }
        }
        k += rows;
    }
    return true;
}

ptrdiff_t InputFile::readSome(void* to, size_t n, Failure& why) {
    const ssize_t got = retried([&] { return read(fd_, to, std::min<size_t>(n, SSIZE_MAX)); });
    if (got < 0)
        readFailed(why);
    return got;
}

} // namespace pz4fmt
