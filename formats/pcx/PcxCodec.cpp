#include "PcxCodec.h"

#include <algorithm>
#include <cstring>

namespace pz4pcx {

using pz4fmt::le16;

namespace {

constexpr size_t kHeaderSize = 128;
constexpr uint8_t kPaletteMarker = 0x0C;
constexpr size_t kTrailerSize = 1 + pz4::plugin::kPaletteBytes; // marker and the palette
constexpr int kMaxRun = 63;

// The sixteen colours of an EGA card: what files written without a header
// palette (version 3, or a palette left all zero) were drawn with.
constexpr uint8_t kEgaColours[48] = {
    0x00, 0x00, 0x00, 0x00, 0x00, 0xAA, 0x00, 0xAA, 0x00, 0x00, 0xAA, 0xAA, 0xAA, 0x00, 0x00, 0xAA,
    0x00, 0xAA, 0xAA, 0x55, 0x00, 0xAA, 0xAA, 0xAA, 0x55, 0x55, 0x55, 0x55, 0x55, 0xFF, 0x55, 0xFF,
    0x55, 0x55, 0xFF, 0xFF, 0xFF, 0x55, 0x55, 0xFF, 0x55, 0xFF, 0xFF, 0xFF, 0x55, 0xFF, 0xFF, 0xFF,
};

struct Layout {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0; // per plane
    int planes = 0;
    size_t bytesPerLine = 0; // per plane, padding included
    bool rle = false;
};

bool readLayout(const uint8_t* h, Layout& l, pz4fmt::Failure& why) {
    if (h[0] != 0x0A)
        return why.fail("not a PCX file (first byte %u, not 10)", h[0]);
    if (h[2] > 1)
        return why.fail("unknown encoding %u", h[2]);
    const int xmin = le16(h + 4), ymin = le16(h + 6), xmax = le16(h + 8), ymax = le16(h + 10);
    if (xmax < xmin)
        return why.fail("picture ends at column %d, left of its start at %d", xmax, xmin);
    if (ymax < ymin)
        return why.fail("picture ends at row %d, above its start at %d", ymax, ymin);
    l.width = xmax - xmin + 1;
    l.height = ymax - ymin + 1;
    l.bitsPerPixel = h[3];
    l.planes = h[65];
    l.bytesPerLine = le16(h + 66);
    l.rle = h[2] == 1;
    const int bpp = l.bitsPerPixel;
    const bool packed = l.planes == 1 && (bpp == 1 || bpp == 2 || bpp == 4 || bpp == 8);
    const bool planar = bpp == 1 && l.planes >= 2 && l.planes <= 4;
    if (!packed && !planar)
        return why.fail("%d bits per pixel in %d planes is not a PCX layout", bpp, l.planes);
    return true;
}

// A line shorter than its pixels would leave them undefined.
bool linesHoldTheirPixels(const Layout& l, pz4fmt::Failure& why) {
    const size_t needed =
        (static_cast<size_t>(l.width) * static_cast<size_t>(l.bitsPerPixel) + 7) / 8;
    if (l.bytesPerLine < needed)
        return why.fail("%zu bytes per line are too few for %d pixels", l.bytesPerLine, l.width);
    return true;
}

// The palette of a file of fewer than 256 colours lives in the header.
void headerPalette(const uint8_t* h, int depth, pz4fmt::Frame& f) {
    const int colours = 1 << depth;
    const uint8_t* source = h + 16;
    if (depth == 1 && std::equal(source, source + 3, source + 3)) {
        // Monochrome files often leave the palette blank: black ink on white paper.
        std::fill_n(f.palette.begin() + 3, 3, 0xFF);
    } else {
        const bool blank = std::all_of(source, source + 48, [](uint8_t b) { return b == 0; });
        if (h[1] == 3 || blank)
            source = kEgaColours;
        std::copy(source, source + 3 * std::min(colours, 16), f.palette.begin());
    }
    f.colorCount = colours;
}

// One scanline's pixels, every plane's bits gathered into one index per pixel.
void expandLine(const Layout& l, const uint8_t* line, uint8_t* row) {
    const int w = l.width;
    if (l.planes == 1) {
        pz4fmt::unpackRow(line, l.bitsPerPixel, w, row);
        return;
    }
    for (int x = 0; x < w; ++x) {
        int v = 0;
        for (int p = 0; p < l.planes; ++p)
            v |= ((line[static_cast<size_t>(p) * l.bytesPerLine + static_cast<size_t>(x / 8)] >>
                   (7 - x % 8)) &
                  1)
                 << p;
        row[x] = static_cast<uint8_t>(v);
    }
}

} // namespace

namespace {

// The run-length stream between the header and the trailer, a window at a time: all
// of it at once when the file is in memory, else reads of kWindow bytes, so a large
// file passes through a buffer that stays in the cache and each byte is read once.
class Stream {
public:
    static constexpr size_t kWindow = size_t{256} << 10;

    Stream(pz4fmt::ByteSource& in, size_t from, size_t to, pz4fmt::Failure& why)
        : in_(in), next_(from), stop_(to), why_(why) {}

    // Whether another byte is there; a read that fails ends the stream, its reason in `why`.
    bool more() { return p_ != end_ || refill(); }
    uint8_t take() { return *p_++; }

private:
    bool refill() {
        if (next_ >= stop_)
            return false;
        const size_t n = in_.inMemory() ? stop_ - next_ : std::min(stop_ - next_, kWindow);
        p_ = in_.view(next_, n, window_, why_);
        if (p_ == nullptr) {
            end_ = nullptr;
            next_ = stop_;
            return false;
        }
        end_ = p_ + n;
        next_ += n;
        return true;
    }

    pz4fmt::ByteSource& in_;
    size_t next_, stop_;
    pz4fmt::Failure& why_;
    pz4fmt::MemoryBlock window_;
    const uint8_t* p_ = nullptr;
    const uint8_t* end_ = nullptr;
};

bool decode(pz4fmt::ByteSource& in, pz4fmt::Image& out, pz4fmt::Failure& why) {
    out = pz4fmt::Image{};
    // A source opened from a file holds at most the kit's file cap.
    const auto size = static_cast<size_t>(in.size());
    if (size < kHeaderSize)
        return why.fail("file of %zu bytes is shorter than a PCX header", size);
    pz4fmt::MemoryBlock headerBytes, trailerBytes;
    const uint8_t* data = in.view(0, kHeaderSize, headerBytes, why);
    if (data == nullptr)
        return false;
    Layout l;
    pz4fmt::DecodeBudget budget;
    if (!readLayout(data, l, why) || !budget.take(l.width, l.height, why) ||
        !linesHoldTheirPixels(l, why))
        return false;

    pz4fmt::Frame f;
    f.width = l.width;
    f.height = l.height;
    f.hasPalette = true;
    const int depth = l.bitsPerPixel * l.planes;
    size_t end = size; // where the pixel stream must stop
    if (depth == 8) {
        const uint8_t* trailer =
            size < kHeaderSize + kTrailerSize
                ? nullptr
                : in.view(size - kTrailerSize, kTrailerSize, trailerBytes, why);
        if (trailer == nullptr || trailer[0] != kPaletteMarker)
            return why.fail("256-colour palette missing at the end of the file");
        end = size - kTrailerSize;
        std::copy(trailer + 1, trailer + kTrailerSize, f.palette.begin());
        f.colorCount = 256;
    } else {
        headerPalette(data, depth, f);
    }

    const size_t w = static_cast<size_t>(l.width);
    const size_t lineBytes = static_cast<size_t>(l.planes) * l.bytesPerLine;
    // Two bytes paint at most 63: a file too short to fill its picture is
    // refused before the picture's memory is taken.
    const size_t streamBytes = end - kHeaderSize;
    const size_t maxPainted = l.rle ? streamBytes / 2 * kMaxRun + streamBytes % 2 : streamBytes;
    if (maxPainted / lineBytes < static_cast<size_t>(l.height))
        return why.fail("file of %zu bytes is too short for %d rows", size, l.height);
    std::vector<uint8_t> line(lineBytes);
    f.pixels.resizeForOverwrite(w * static_cast<size_t>(l.height)); // every row is written
    Stream stream(in, kHeaderSize, end, why);
    // Writers differ on whether a run may continue into the next scanline; the
    // stream is well defined either way, so a run is carried over.
    size_t runLeft = 0;
    uint8_t runValue = 0;
    for (int y = 0; y < l.height; ++y) {
        size_t i = 0;
        while (i < lineBytes) {
            if (runLeft > 0) {
                const size_t n = std::min(runLeft, lineBytes - i);
                std::memset(line.data() + i, runValue, n);
                i += n;
                runLeft -= n;
                continue;
            }
            if (!stream.more())
                return why.fail("file ends inside row %d", y);
            const uint8_t b = stream.take();
            if (l.rle && (b & 0xC0) == 0xC0) {
                if (!stream.more())
                    return why.fail("file ends inside row %d", y);
                runLeft = b & 0x3F;
                runValue = stream.take();
            } else {
                line[i++] = b;
            }
        }
        // The file runs top-down; the document bottom-up.
        expandLine(l, line.data(), f.pixels.data() + static_cast<size_t>(l.height - 1 - y) * w);
    }
    if (runLeft > 0)
        return why.fail("a run continues past the last row");
    out.frames.push_back(std::move(f));
    return true;
}

} // namespace

bool decodePcx(pz4fmt::ByteSource& in, pz4fmt::Image& out, pz4fmt::Failure* why) {
    pz4fmt::Failure ignored;
    return decode(in, out, why != nullptr ? *why : ignored);
}

bool decodePcx(const uint8_t* data, size_t size, pz4fmt::Image& out, pz4fmt::Failure* why) {
    pz4fmt::ByteSource in(data, data != nullptr ? size : 0);
    return decodePcx(in, out, why);
}

std::vector<uint8_t> encodePcx(const pz4fmt::SaveInput& in) {
    if (!pz4fmt::validImageInput(in))
        return {};
    const size_t w = static_cast<size_t>(in.width);
    const size_t bytesPerLine = (w + 1) & ~size_t{1}; // lines have an even length
    std::vector<uint8_t> out;
    out.reserve(kHeaderSize + static_cast<size_t>(in.height) * (bytesPerLine + 8) + kTrailerSize);
    out.push_back(0x0A);                                        // manufacturer
    out.push_back(5);                                           // version: 256-colour palette
    out.push_back(1);                                           // run-length encoded
    out.push_back(8);                                           // bits per pixel
    pz4fmt::putLe16(out, 0);                                    // xmin
    pz4fmt::putLe16(out, 0);                                    // ymin
    pz4fmt::putLe16(out, static_cast<uint16_t>(w - 1));         // xmax
    pz4fmt::putLe16(out, static_cast<uint16_t>(in.height - 1)); // ymax
    pz4fmt::putLe16(out, 72);                                   // horizontal dpi
    pz4fmt::putLe16(out, 72);                                   // vertical dpi
    out.insert(out.end(), in.palette, in.palette + 48);         // first 16 colours, for old readers
    out.push_back(0);                                           // reserved
    out.push_back(1);                                           // planes
    pz4fmt::putLe16(out, static_cast<uint16_t>(bytesPerLine));
    pz4fmt::putLe16(out, 1); // palette is colour
    out.resize(kHeaderSize, 0);

    std::vector<uint8_t> line(bytesPerLine, 0);
    for (int y = in.height - 1; y >= 0; --y) {
        std::memcpy(line.data(), in.pixels + static_cast<size_t>(y) * w, w);
        for (size_t i = 0; i < bytesPerLine;) {
            const uint8_t v = line[i];
            size_t run = 1;
            while (i + run < bytesPerLine && run < kMaxRun && line[i + run] == v)
                ++run;
            // A lone byte with both top bits set would read as a run count.
            if (run > 1 || (v & 0xC0) == 0xC0)
                out.push_back(static_cast<uint8_t>(0xC0 | run));
            out.push_back(v);
            i += run;
        }
    }
    out.push_back(kPaletteMarker);
    out.insert(out.end(), in.palette, in.palette + pz4::plugin::kPaletteBytes);
    return out;
}

} // namespace pz4pcx
