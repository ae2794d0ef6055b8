#include "BmpCodec.h"
#include "common/Palettise.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace pz4bmp {

using pz4fmt::le16;
using pz4fmt::le32;

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kCoreHeaderSize = 12; // OS/2 1.x: 16-bit sizes, 3-byte palette entries
constexpr size_t kInfoHeaderSize = 40; // every later header starts with these fields
constexpr size_t kMinOs2v2Size = 16;   // OS/2 2.x headers may stop after any field
constexpr uint32_t kUncompressed = 0;
constexpr uint32_t kRle8 = 1;
constexpr uint32_t kRle4 = 2;
constexpr uint32_t kBitFields = 3;
constexpr uint32_t kAlphaBitFields = 6;
constexpr size_t kMasksInHeaderSize = 52; // V2 and later carry red, green, blue masks
constexpr size_t kAlphaInHeaderSize = 56; // V3 and later an alpha mask too

// Where a colour's bits lie in a 16- or 32-bit pixel.
struct Mask {
    uint32_t bits = 0;
    int shift = 0;
    int width = 0;
    static Mask of(uint32_t bits) {
        Mask m;
        m.bits = bits;
        if (bits != 0) {
            m.shift = std::countr_zero(bits);
            m.width = std::popcount(bits);
        }
        return m;
    }
    // Counted in 64 bits: a mask may take all 32 bits of a pixel.
    bool contiguous() const {
        return bits == 0 || uint64_t{bits >> shift} == (uint64_t{1} << width) - 1;
    }
    // The field as 8 bits, its bits repeated downward (five bits abcde become
    // abcdeabc), as Pillow widens 555 and 565 pixels.
    uint8_t of8(uint32_t pixel) const {
        if (width == 0)
            return 0;
        const uint32_t v = (pixel & bits) >> shift;
        if (width >= 8)
            return static_cast<uint8_t>(v >> (width - 8));
        uint32_t wide = 0;
        int have = 0;
        while (have < 8) {
            wide = (wide << width) | v;
            have += width;
        }
        return static_cast<uint8_t>(wide >> (have - 8));
    }
};

struct Header {
    int64_t width = 0;
    int64_t height = 0; // negative: rows run top-down
    int bitCount = 0;
    uint32_t compression = kUncompressed;
    uint32_t colorsUsed = 0;
    size_t entryBytes = 4;
    // 16- and 32-bit pixels: the default layouts (555, and blue, green, red, unused
    // byte) unless the file gives bit fields. Alpha only where it names an alpha mask.
    Mask red, green, blue, alpha;
};

void setDefaultMasks(Header& h) {
    if (h.bitCount == 16) {
        h.red = Mask::of(0x7C00);
        h.green = Mask::of(0x03E0);
        h.blue = Mask::of(0x001F);
    } else {
        h.red = Mask::of(0xFF0000);
        h.green = Mask::of(0xFF00);
        h.blue = Mask::of(0xFF);
    }
}

// Bit fields sit in the header from V2 on, after a 40-byte one otherwise.
bool readMasks(const uint8_t* data, size_t size, size_t headerSize, Header& h,
               pz4fmt::Failure& why) {
    setDefaultMasks(h);
    if (h.compression != kBitFields && h.compression != kAlphaBitFields)
        return true;
    const size_t at =
        kFileHeaderSize + (headerSize >= kMasksInHeaderSize ? kInfoHeaderSize : headerSize);
    const bool alphaStored = headerSize >= kAlphaInHeaderSize ||
                             (headerSize < kMasksInHeaderSize && h.compression == kAlphaBitFields);
    const size_t count = alphaStored ? 4 : 3;
    if (at + 4 * count > size)
        return why.fail("file ends inside the bit field masks");
    h.red = Mask::of(le32(data + at));
    h.green = Mask::of(le32(data + at + 4));
    h.blue = Mask::of(le32(data + at + 8));
    h.alpha = Mask::of(alphaStored ? le32(data + at + 12) : 0);
    for (const Mask* m : {&h.red, &h.green, &h.blue, &h.alpha})
        if (!m->contiguous() || (h.bitCount == 16 && m->bits > 0xFFFF))
            return why.fail("bit field mask %08x does not fit %d-bit pixels", m->bits, h.bitCount);
    return true;
}

// 16-, 24- and 32-bit rows (in file order) to top-down RGBA.
void readTruecolourRows(const uint8_t* src, size_t stride, const Header& h, int width, int height,
                        bool topDown, uint8_t* rgba) {
    const size_t w = static_cast<size_t>(width);
    const int bytes = h.bitCount / 8;
    for (int r = 0; r < height; ++r) {
        const uint8_t* p = src + static_cast<size_t>(r) * stride;
        uint8_t* out = rgba + static_cast<size_t>(topDown ? r : height - 1 - r) * w * 4;
        for (size_t x = 0; x < w; ++x, p += bytes, out += 4) {
            if (bytes == 3) {
                out[0] = p[2];
                out[1] = p[1];
                out[2] = p[0];
                out[3] = 255;
                continue;
            }
            const uint32_t v = bytes == 2 ? le16(p) : le32(p);
            out[0] = h.red.of8(v);
            out[1] = h.green.of8(v);
            out[2] = h.blue.of8(v);
            out[3] = h.alpha.bits != 0 ? h.alpha.of8(v) : 255;
        }
    }
}

bool readHeader(const uint8_t* data, size_t size, Header& h, size_t& headerSize,
                pz4fmt::Failure& why) {
    headerSize = le32(data + kFileHeaderSize);
    if (headerSize > size - kFileHeaderSize)
        return why.fail("header of %zu bytes is longer than the file", headerSize);
    const uint8_t* p = data + kFileHeaderSize;
    if (headerSize == kCoreHeaderSize) {
        h.width = le16(p + 4);
        h.height = le16(p + 6);
        h.bitCount = le16(p + 10);
        h.entryBytes = 3;
        return true;
    }
    if (headerSize < kMinOs2v2Size)
        return why.fail("header size %zu is not a bitmap header's", headerSize);
    // Fields a short OS/2 2.x header leaves out read as zero, which is their default.
    uint8_t info[kInfoHeaderSize] = {};
    std::memcpy(info, p, std::min(headerSize, kInfoHeaderSize));
    h.width = static_cast<int32_t>(le32(info + 4));
    h.height = static_cast<int32_t>(le32(info + 8));
    h.bitCount = le16(info + 14);
    h.compression = le32(info + 16);
    h.colorsUsed = le32(info + 32);
    return true;
}

// Walks an RLE4 or RLE8 stream into `pixels` (rows in file order, bottom first).
// Some writers run their last run of a row on into the row's padding (to a
// 4-byte boundary, as an uncompressed row would be stored); those pixels are
// dropped. Anything reaching further, or outside the picture, is damage.
bool decodeRle(const uint8_t* p, size_t n, bool nibbles, int width, int height, uint8_t* pixels,
               pz4fmt::Failure& why) {
    const size_t w = static_cast<size_t>(width);
    const int bitsPerPixel = nibbles ? 4 : 8;
    const int paddedWidth =
        static_cast<int>((w * static_cast<size_t>(bitsPerPixel) + 31) / 32 * 32 / bitsPerPixel);
    int x = 0, y = 0;
    size_t i = 0;
    auto put = [&](int count, auto valueAt) {
        uint8_t* row = pixels + static_cast<size_t>(y) * w;
        for (int k = 0; k < count && x + k < width; ++k)
            row[x + k] = valueAt(k);
        x += count;
    };
    for (;;) {
        if (i + 2 > n) { // no end-of-bitmap marker: good only if the picture is complete
            if (y >= height || (y == height - 1 && x >= width))
                return true;
            return why.fail("file ends inside row %d", y);
        }
        const int count = p[i];
        const uint8_t value = p[i + 1];
        i += 2;
        if (count > 0) {
            if (y >= height)
                return why.fail("a run lies past the last row");
            if (x + count > paddedWidth)
                return why.fail("a run of %d pixels passes the end of row %d", count, y);
            if (nibbles)
                put(count, [value](int k) {
                    return static_cast<uint8_t>(k % 2 == 0 ? value >> 4 : value & 0x0F);
                });
            else
                put(count, [value](int) { return value; });
            continue;
        }
        switch (value) {
        case 0: // end of line
            if (y >= height)
                return why.fail("a line ends past the last row");
            x = 0;
            ++y;
            break;
        case 1: // end of bitmap
            return true;
        case 2: // delta: skipped pixels keep index 0
            if (i + 2 > n)
                return why.fail("file ends inside a skip in row %d", y);
            x += p[i];
            y += p[i + 1];
            i += 2;
            if (x > paddedWidth || y > height)
                return why.fail("a skip leads outside the picture, to column %d of row %d", x, y);
            break;
        default: { // a literal run of `value` pixels, padded to a 16-bit boundary
            const int literal = value;
            const size_t bytes = nibbles ? (static_cast<size_t>(literal) + 1) / 2 : literal;
            if (y >= height)
                return why.fail("a run lies past the last row");
            if (x + literal > paddedWidth)
                return why.fail("%d literal pixels pass the end of row %d", literal, y);
            if (bytes > n - i)
                return why.fail("file ends inside row %d", y);
            const uint8_t* src = p + i;
            if (nibbles)
                put(literal, [src](int k) {
                    return static_cast<uint8_t>(k % 2 == 0 ? src[k / 2] >> 4 : src[k / 2] & 0x0F);
                });
            else
                put(literal, [src](int k) { return src[k]; });
            i += (bytes + 1) & ~size_t{1};
            break;
        }
        }
    }
}

// The file header, every field of the bitmap header read here, and the bit field
// masks wherever they are stored.
constexpr size_t kHeadBytes = 128;

bool decode(pz4fmt::ByteSource& in, pz4fmt::Image& out, pz4fmt::Failure& why) {
    out = pz4fmt::Image{};
    // A source opened from a file holds at most the kit's file cap.
    const auto size = static_cast<size_t>(in.size());
    if (size < kFileHeaderSize + kCoreHeaderSize)
        return why.fail("file of %zu bytes is shorter than a bitmap header", size);
    pz4fmt::MemoryBlock headBytes, paletteBytes, pixelBytes;
    const uint8_t* data = in.view(0, std::min(size, kHeadBytes), headBytes, why);
    if (data == nullptr)
        return false;
    if (data[0] != 'B' || data[1] != 'M')
        return why.fail("not a bitmap (no \"BM\" at the start)");
    Header h;
    size_t headerSize = 0;
    if (!readHeader(data, size, h, headerSize, why))
        return false;
    const bool truecolour = h.bitCount == 16 || h.bitCount == 24 || h.bitCount == 32;
    const bool fields = h.compression == kBitFields || h.compression == kAlphaBitFields;
    const bool supported =
        (h.compression == kUncompressed &&
         (h.bitCount == 1 || h.bitCount == 4 || h.bitCount == 8 || truecolour)) ||
        (fields && (h.bitCount == 16 || h.bitCount == 32)) ||
        (h.compression == kRle8 && h.bitCount == 8) || (h.compression == kRle4 && h.bitCount == 4);
    if (!supported)
        return why.fail("%d bits per pixel with compression %u is not supported", h.bitCount,
                        h.compression);
    if (truecolour && !readMasks(data, size, headerSize, h, why))
        return false;
    const bool topDown = h.height < 0;
    const int64_t rows = topDown ? -h.height : h.height;
    pz4fmt::DecodeBudget budget;
    if (!budget.take(h.width, rows, why, truecolour ? pz4fmt::kTruecolourBytesPerPixel : 1))
        return false;

    pz4fmt::Frame f;
    f.width = static_cast<int>(h.width);
    f.height = static_cast<int>(rows);

    // The palette sits between the header and the pixels. Writers that store
    // fewer entries than the depth allows do not always say so in colorsUsed,
    // so the room before the pixels bounds it too.
    const size_t paletteAt = kFileHeaderSize + headerSize;
    const size_t pixelsAt = le32(data + 10);
    if (pixelsAt < paletteAt || pixelsAt >= size)
        return why.fail("pixels said to start at byte %zu, outside bytes %zu to %zu", pixelsAt,
                        paletteAt, size - 1);
    // A truecolour file's palette, if any, only suggests colours to a display.
    size_t entries = truecolour ? 0 : size_t{1} << h.bitCount;
    if (h.colorsUsed != 0)
        entries = std::min<size_t>(entries, h.colorsUsed);
    entries = std::min(entries, (pixelsAt - paletteAt) / h.entryBytes);
    if (entries > 0) {
        const uint8_t* stored = in.view(paletteAt, entries * h.entryBytes, paletteBytes, why);
        if (stored == nullptr)
            return false;
        for (size_t k = 0; k < entries; ++k) {
            const uint8_t* e = stored + k * h.entryBytes; // blue, green, red
            f.palette[3 * k] = e[2];
            f.palette[3 * k + 1] = e[1];
            f.palette[3 * k + 2] = e[0];
        }
    }
    f.hasPalette = entries > 0;
    f.colorCount = static_cast<int>(entries);

    const size_t w = static_cast<size_t>(f.width);
    const size_t height = static_cast<size_t>(f.height);
    const size_t available = size - pixelsAt;
    const size_t rowBits = w * static_cast<size_t>(h.bitCount);
    const size_t stride = (rowBits + 31) / 32 * 4;
    // The last row's padding is often left off; its pixels are not.
    const size_t stored = (height - 1) * stride + (rowBits + 7) / 8;
    const bool rle = h.compression == kRle8 || h.compression == kRle4;
    if (!rle && stored > available)
        return why.fail("file of %zu bytes is too short for %d rows", size, f.height);
    if (!rle && h.bitCount == 8) {
        // The rows are already the frame's: read straight into it, bottom row first,
        // so a top-down file's are turned over on the way.
        f.pixels.resizeForOverwrite(w * height);
        uint8_t* bottom = f.pixels.data() + (topDown ? (height - 1) * w : 0);
        const ptrdiff_t step = topDown ? -static_cast<ptrdiff_t>(w) : static_cast<ptrdiff_t>(w);
        if (!in.readRows(pixelsAt, stride, w, height, bottom, step, why))
            return false;
        out.frames.push_back(std::move(f));
        return true;
    }
    // Everything else is decoded from the stored pixels, read once.
    const uint8_t* src = in.view(pixelsAt, rle ? available : stored, pixelBytes, why);
    if (src == nullptr)
        return false;
    if (truecolour) {
        pz4fmt::MemoryBlock rgba(w * height * 4);
        readTruecolourRows(src, stride, h, f.width, f.height, topDown, rgba.data());
        if (!pz4fmt::palettise(rgba.data(), f.width, f.height, pz4fmt::Rgb{}, f, why))
            return false;
        out.frames.push_back(std::move(f));
        return true;
    }
    if (!rle) {
        f.pixels.resizeForOverwrite(w * height);
        for (size_t r = 0; r < height; ++r)
            pz4fmt::unpackRow(src + r * stride, h.bitCount, f.width,
                              f.pixels.data() + (topDown ? height - 1 - r : r) * w);
        out.frames.push_back(std::move(f));
        return true;
    }
    f.pixels.resize(w * height); // skipped pixels keep index 0
    if (!decodeRle(src, available, h.compression == kRle4, f.width, f.height, f.pixels.data(), why))
        return false;
    if (topDown)
        pz4fmt::flipRows(f.pixels.data(), f.width, f.height);
    out.frames.push_back(std::move(f));
    return true;
}

} // namespace

bool decodeBmp(pz4fmt::ByteSource& in, pz4fmt::Image& out, pz4fmt::Failure* why) {
    pz4fmt::Failure ignored;
    return decode(in, out, why != nullptr ? *why : ignored);
}

bool decodeBmp(const uint8_t* data, size_t size, pz4fmt::Image& out, pz4fmt::Failure* why) {
    pz4fmt::ByteSource in(data, data != nullptr ? size : 0);
    return decodeBmp(in, out, why);
}

std::vector<uint8_t> encodeBmp(const pz4fmt::SaveInput& in) {
    if (!pz4fmt::validImageInput(in))
        return {};
    const int entries = pz4fmt::paletteEntriesFor(in);
    const size_t w = static_cast<size_t>(in.width);
    const size_t stride = (w + 3) & ~size_t{3};
    const uint32_t pixelsAt = static_cast<uint32_t>(kFileHeaderSize + kInfoHeaderSize) +
                              4 * static_cast<uint32_t>(entries);
    const uint32_t imageBytes = static_cast<uint32_t>(stride * static_cast<size_t>(in.height));

    std::vector<uint8_t> out;
    out.reserve(pixelsAt + imageBytes);
    out.push_back('B');
    out.push_back('M');
    pz4fmt::putLe32(out, pixelsAt + imageBytes);            // file size
    pz4fmt::putLe32(out, 0);                                // reserved
    pz4fmt::putLe32(out, pixelsAt);                         // offset of the pixels
    pz4fmt::putLe32(out, kInfoHeaderSize);                  // header size
    pz4fmt::putLe32(out, static_cast<uint32_t>(in.width));  // width
    pz4fmt::putLe32(out, static_cast<uint32_t>(in.height)); // height > 0: bottom-up
    pz4fmt::putLe16(out, 1);                                // planes
    pz4fmt::putLe16(out, 8);                                // bits per pixel
    pz4fmt::putLe32(out, kUncompressed);                    // compression
    pz4fmt::putLe32(out, imageBytes);                       // image size
    pz4fmt::putLe32(out, 2835);                             // 72 dpi, in pixels per metre
    pz4fmt::putLe32(out, 2835);
    pz4fmt::putLe32(out, static_cast<uint32_t>(entries)); // colours used
    pz4fmt::putLe32(out, 0);                              // all colours important
    for (int k = 0; k < entries; ++k) {
        const uint8_t* rgb = in.palette + 3 * k;
        out.insert(out.end(), {rgb[2], rgb[1], rgb[0], 0});
    }
    // Both the document and the file run bottom-up.
    for (int r = 0; r < in.height; ++r) {
        const uint8_t* row = in.pixels + static_cast<size_t>(r) * w;
        out.insert(out.end(), row, row + w);
        out.resize(out.size() + stride - w, 0);
    }
    return out;
}

} // namespace pz4bmp
