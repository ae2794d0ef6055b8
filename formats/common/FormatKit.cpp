#include "FormatKit.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace pz4fmt {

std::string sizeText(size_t bytes) {
    if (bytes >= (size_t{1} << 20) && bytes % (size_t{1} << 20) == 0)
        return std::to_string(bytes >> 20) + " MiB";
    return std::to_string(bytes) + " bytes";
}

bool DecodeBudget::take(int width, int height, size_t bytesPerPixel) {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
        return false;
    const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * bytesPerPixel;
    if (used_ > cap_ || bytes > cap_ - used_)
        return false;
    used_ += bytes;
    return true;
}

bool DecodeBudget::take(int64_t width, int64_t height, Failure& why, size_t bytesPerPixel) {
    const auto w = static_cast<long long>(width), h = static_cast<long long>(height);
    if (width <= 0 || height <= 0)
        return why.fail("picture of %lldx%lld pixels is empty", w, h);
    if (width > kMaxSide || height > kMaxSide)
        return why.fail("picture of %lldx%lld pixels is larger than %d a side", w, h, kMaxSide);
    if (!take(static_cast<int>(width), static_cast<int>(height), bytesPerPixel))
        return why.fail("picture of %lldx%lld pixels is beyond the decoding limit of %s", w, h,
                        sizeText(cap_).c_str());
    return true;
}

bool writeFile(const char* path, const std::vector<uint8_t>& data) {
    if (path == nullptr || path[0] == '\0')
        return false;
    std::FILE* f = std::fopen(path, "wb");
    if (f == nullptr)
        return false;
    bool ok = data.empty() || std::fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok)
        std::remove(path);
    return ok;
}

void flipRows(uint8_t* pixels, int width, int height) {
    if (width <= 0 || height <= 1)
        return;
    const size_t w = static_cast<size_t>(width);
    for (size_t top = 0, bottom = static_cast<size_t>(height) - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(pixels + top * w, pixels + (top + 1) * w, pixels + bottom * w);
}

void unpackRow(const uint8_t* packed, int bitsPerPixel, int width, uint8_t* row) {
    if (bitsPerPixel == 8) {
        std::copy_n(packed, static_cast<size_t>(width), row);
        return;
    }
    const int mask = (1 << bitsPerPixel) - 1;
    for (int x = 0; x < width; ++x) {
        const int bit = x * bitsPerPixel;
        row[x] = static_cast<uint8_t>((packed[bit / 8] >> (8 - bitsPerPixel - bit % 8)) & mask);
    }
}

bool validSaveInput(const SaveInput& in) {
    return in.fileName != nullptr && in.fileName[0] != '\0' && validImageInput(in);
}

bool validImageInput(const SaveInput& in) {
    return in.pixels != nullptr && in.palette != nullptr && in.width > 0 && in.height > 0 &&
           in.width <= kMaxSide && in.height <= kMaxSide;
}

bool writeEncoded(const char* path, const std::vector<uint8_t>& bytes) {
    return !bytes.empty() && writeFile(path, bytes);
}

int highestIndex(const SaveInput& in) {
    const size_t n = static_cast<size_t>(in.width) * static_cast<size_t>(in.height);
    return n == 0 ? 0 : *std::max_element(in.pixels, in.pixels + n);
}

int paletteEntriesFor(const SaveInput& in) {
    return std::max({1, std::min(in.colorCount, 256), highestIndex(in) + 1});
}

void putLe16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void putLe32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>((v >> (8 * i)) & 0xFF));
}

} // namespace pz4fmt
