#include "Failure.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace pz4fmt {

bool Failure::fail(const char* format, ...) {
    if (failed() || format == nullptr)
        return false;
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (n > 0) {
        std::vector<char> text(static_cast<size_t>(n) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        reason_.assign(text.data(), static_cast<size_t>(n));
    }
    va_end(again);
    return false;
}

} // namespace pz4fmt
