#pragma once

// Hand-built GIF files for the GIF tests: every block is written here field by
// field, so a test states exactly what the file holds. Image data is LZW with
// literal codes only (a clear code before the table would widen the code size),
// which any decoder must accept.

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace giftest {

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Rgb& c) {
    return os << '(' << int{c.r} << ',' << int{c.g} << ',' << int{c.b} << ')';
}

class GifFile {
public:
    explicit GifFile(const char* signature = "GIF89a") { text(signature); }

    // Logical screen descriptor, then the global colour table when `global` is not
    // empty (its size must be a power of two from 2 to 256).
    GifFile& screen(int width, int height, const std::vector<Rgb>& global = {},
                    int background = 0) {
        le16(width);  // logical screen width
        le16(height); // logical screen height
        // packed: global table flag (bit 7), colour resolution 8 bits (bits 4-6 = 7),
        // not sorted (bit 3), table size as 2^(n+1) (bits 0-2)
        byte((global.empty() ? 0 : 0x80) | 0x70 | sizeBits(global));
        byte(background); // background colour index
        byte(0);          // pixel aspect ratio: none given
        table(global);
        return *this;
    }

    // Graphic control extension for the next image.
    GifFile& control(int disposal, int delay, int transparent = -1) {
        byte(0x21); // extension introducer
        byte(0xF9); // graphic control label
        byte(4);    // block size
        // packed: reserved (bits 5-7), disposal method (bits 2-4), no user input (bit 1),
        // transparent colour flag (bit 0)
        byte((disposal << 2) | (transparent >= 0 ? 1 : 0));
        le16(delay);                              // delay in 1/100 s
        byte(transparent >= 0 ? transparent : 0); // transparent colour index
        byte(0);                                  // block terminator
        return *this;
    }

    // Image descriptor, optional local colour table, then the image data. `pixels`
    // are in stream order: top row first, or pass by pass when interlaced.
    GifFile& image(int left, int top, int width, int height, const std::vector<uint8_t>& pixels,
                   const std::vector<Rgb>& local = {}, bool interlaced = false,
                   int minCodeSize = 2) {
        byte(0x2C);   // image separator
        le16(left);   // image left position
        le16(top);    // image top position
        le16(width);  // image width
        le16(height); // image height
        // packed: local table flag (bit 7), interlace (bit 6), not sorted (bit 5),
        // reserved (bits 3-4), table size as 2^(n+1) (bits 0-2)
        byte((local.empty() ? 0 : 0x80) | (interlaced ? 0x40 : 0) | sizeBits(local));
        table(local);
        data(pixels, minCodeSize);
        return *this;
    }

    // An extension the decoder has to step over, e.g. a comment (0xFE).
    GifFile& extension(int label, const std::string& payload) {
        byte(0x21);
        byte(label);
        byte(static_cast<int>(payload.size())); // one sub-block
        text(payload.c_str());
        byte(0);
        return *this;
    }

    GifFile& trailer() {
        byte(0x3B);
        return *this;
    }

    // Raw bytes, for damaged files.
    GifFile& raw(const std::vector<uint8_t>& bytes) {
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
        return *this;
    }

    const std::vector<uint8_t>& bytes() const { return bytes_; }

    // LZW codes of `pixels` as this writer emits them, before packing into bytes:
    // exposed so a test can break the stream on purpose.
    static std::vector<int> codes(const std::vector<uint8_t>& pixels, int minCodeSize) {
        const int clear = 1 << minCodeSize;
        // After a clear the decoder reads 2^m - 1 codes at m + 1 bits before it widens,
        // so a clear follows at most 2^m - 2 literals.
        const size_t run = static_cast<size_t>(clear - 2);
        std::vector<int> out{clear};
        for (size_t i = 0; i < pixels.size(); ++i) {
            if (i > 0 && i % run == 0)
                out.push_back(clear);
            out.push_back(pixels[i]);
        }
        out.push_back(clear + 1); // end of information
        return out;
    }

    // Image data from explicit codes, all at minCodeSize + 1 bits.
    GifFile& codeStream(const std::vector<int>& codes, int minCodeSize) {
        byte(minCodeSize); // LZW minimum code size
        std::vector<uint8_t> packed;
        uint32_t acc = 0;
        int bits = 0;
        for (int c : codes) {
            acc |= static_cast<uint32_t>(c) << bits;
            bits += minCodeSize + 1;
            while (bits >= 8) {
                packed.push_back(static_cast<uint8_t>(acc & 0xFF));
                acc >>= 8;
                bits -= 8;
            }
        }
        if (bits > 0)
            packed.push_back(static_cast<uint8_t>(acc & 0xFF));
        for (size_t i = 0; i < packed.size(); i += 255) { // data sub-blocks of up to 255 bytes
            const size_t n = std::min<size_t>(255, packed.size() - i);
            byte(static_cast<int>(n));
            bytes_.insert(bytes_.end(), packed.begin() + static_cast<long>(i),
                          packed.begin() + static_cast<long>(i + n));
        }
        byte(0); // block terminator
        return *this;
    }

private:
    void data(const std::vector<uint8_t>& pixels, int minCodeSize) {
        codeStream(codes(pixels, minCodeSize), minCodeSize);
    }
    static int sizeBits(const std::vector<Rgb>& t) {
        int bits = 0;
        while ((2u << bits) < t.size())
            ++bits;
        return bits;
    }
    void table(const std::vector<Rgb>& t) {
        for (const Rgb& c : t) {
            byte(c.r);
            byte(c.g);
            byte(c.b);
        }
    }
    void byte(int v) { bytes_.push_back(static_cast<uint8_t>(v)); }
    void le16(int v) {
        byte(v & 0xFF);
        byte((v >> 8) & 0xFF);
    }
    void text(const char* s) {
        for (; *s != '\0'; ++s)
            byte(*s);
    }
    std::vector<uint8_t> bytes_;
};

} // namespace giftest
