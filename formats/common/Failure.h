#pragma once

// Why a codec gave up, in a few words a person can act on: "PLTE with 0 entries",
// "file ends inside row 12". Codecs still answer true or false; a caller that
// wants to say what was wrong (pzconv, the tests) passes a Failure and reads it
// after a false answer. Plug-in exports never carry it as their answer.

#include <string>

#if defined(__MINGW32__)
// MinGW's C++ library formats as C99 does, not as the system's runtime.
#define PZ4_PRINTF_LIKE(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#elif defined(__GNUC__)
#define PZ4_PRINTF_LIKE(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define PZ4_PRINTF_LIKE(fmt, args)
#endif

namespace pz4fmt {

class Failure {
public:
    // Records the reason, printf-style, unless one is recorded already: the first
    // names the fault, whatever fails after it is only its consequence. Always
    // false, so a decoder can end a path with `return why.fail("...", ...);`.
    bool fail(const char* format, ...) PZ4_PRINTF_LIKE(2, 3);

    bool failed() const { return !reason_.empty(); }
    // Empty when nothing was recorded; meaningful only after a false answer.
    const std::string& reason() const { return reason_; }
    void clear() { reason_.clear(); }

private:
    std::string reason_;
};

} // namespace pz4fmt
