#include "BareGif.h"

#include <algorithm>
#include <string_view>

namespace pzsamples {

namespace {

void put16(std::vector<uint8_t>& out, int v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

void putText(std::vector<uint8_t>& out, std::string_view text) {
    // Byte by byte: g++ 12 at -O3 takes a range insert into an empty vector for an overflow.
    for (const char c : text)
        out.push_back(static_cast<uint8_t>(c));
}

// LZW data that never grows its dictionary past 9-bit codes: every pixel is a
// literal code and a clear code comes before the table would need a tenth bit.
// Larger than real compression, but any decoder reads it.
std::vector<uint8_t> literalLzw(const std::vector<uint8_t>& pixels) {
    constexpr int kClear = 256, kEnd = 257;
    // After a clear the 255th code read widens the codes; stay well short of it.
    constexpr int kCodesPerClear = 250;
    std::vector<uint8_t> bytes;
    uint32_t bits = 0;
    int count = 0;
    auto emit = [&](int code) {
        bits |= static_cast<uint32_t>(code) << count;
        count += 9;
        while (count >= 8) {
            bytes.push_back(static_cast<uint8_t>(bits & 0xFF));
            bits >>= 8;
            count -= 8;
        }
    };
    int sinceClear = kCodesPerClear;
    for (uint8_t p : pixels) {
        if (sinceClear == kCodesPerClear) {
            emit(kClear);
            sinceClear = 0;
        }
        emit(p);
        ++sinceClear;
    }
    emit(kEnd);
    if (count > 0)
        bytes.push_back(static_cast<uint8_t>(bits & 0xFF));
    return bytes;
}

} // namespace

std::vector<uint8_t> encodeBareGif(const std::vector<Picture>& frames, int delay) {
    std::vector<uint8_t> out;
    if (frames.empty())
        return out;
    putText(out, "GIF89a");
    put16(out, frames.front().width);
    put16(out, frames.front().height);
    out.push_back(0x70); // no global colour table; 8 bits of colour resolution
    out.push_back(0);    // background colour index
    out.push_back(0);    // no pixel aspect ratio
    // Application extension: loop for ever.
    out.push_back(0x21);
    out.push_back(0xFF);
    out.push_back(11);
    putText(out, "NETSCAPE2.0");
    out.insert(out.end(), {3, 1, 0, 0, 0});

    for (const Picture& frame : frames) {
        // Graphic control: each frame replaces the last, shown for `delay`/100 s.
        out.insert(out.end(), {0x21, 0xF9, 4, 0x04});
        put16(out, delay);
        out.insert(out.end(), {0, 0});
        // Image descriptor: the whole screen, no local colour table, not interlaced.
        out.push_back(0x2C);
        put16(out, 0);
        put16(out, 0);
        put16(out, frame.width);
        put16(out, frame.height);
        out.push_back(0);
        out.push_back(8); // LZW minimum code size
        const std::vector<uint8_t> data = literalLzw(frame.pixels);
        for (size_t at = 0; at < data.size(); at += 255) {
            const size_t n = std::min<size_t>(255, data.size() - at);
            out.push_back(static_cast<uint8_t>(n));
            out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                       data.begin() + static_cast<std::ptrdiff_t>(at + n));
        }
        out.push_back(0); // end of the image's data
    }
    out.push_back(0x3B);
    return out;
}

} // namespace pzsamples
