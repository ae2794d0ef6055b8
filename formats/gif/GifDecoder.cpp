#include "GifCodec.h"
#include "GifHandles.h"
#include "common/FrameSource.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

namespace pz4gif {
namespace {

using pz4fmt::Palette;

struct MemoryReader {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

int readFromMemory(GifFileType* gif, GifByteType* buffer, int length) {
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    if (length <= 0)
        return 0;
    const size_t n = std::min(static_cast<size_t>(length), reader->size - reader->pos);
    if (n > 0)
        std::memcpy(buffer, reader->data + reader->pos, n);
    reader->pos += n;
    return static_cast<int>(n);
}

uint32_t rgbAt(const Palette& p, int index) {
    const size_t i = static_cast<size_t>(index) * 3;
    return static_cast<uint32_t>(p[i]) | (static_cast<uint32_t>(p[i + 1]) << 8) |
           (static_cast<uint32_t>(p[i + 2]) << 16);
}

void putRgb(Palette& p, int index, uint32_t rgb) {
    const size_t i = static_cast<size_t>(index) * 3;
    p[i] = static_cast<uint8_t>(rgb & 0xFF);
    p[i + 1] = static_cast<uint8_t>((rgb >> 8) & 0xFF);
    p[i + 2] = static_cast<uint8_t>(rgb >> 16);
}

int distance(uint32_t a, uint32_t b) {
    const int dr = static_cast<int>(a & 0xFF) - static_cast<int>(b & 0xFF);
    const int dg = static_cast<int>((a >> 8) & 0xFF) - static_cast<int>((b >> 8) & 0xFF);
    const int db = static_cast<int>(a >> 16) - static_cast<int>(b >> 16);
    return dr * dr + dg * dg + db * db;
}

// Nearest palette entry by RGB distance. Entries are searched outward in green
// order and the search stops once green alone is farther than the best match, so
// a frame with thousands of colours beyond its palette stays quick.
class NearestColour {
public:
    explicit NearestColour(const Palette& palette) {
        for (int k = 0; k < 256; ++k)
            entries_[static_cast<size_t>(k)] = {rgbAt(palette, k), static_cast<uint8_t>(k)};
        std::stable_sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
            return green(a.rgb) < green(b.rgb);
        });
    }

    uint8_t find(uint32_t c) const {
        const int g = green(c);
        const auto start = std::lower_bound(entries_.begin(), entries_.end(), g,
                                            [](const Entry& e, int v) { return green(e.rgb) < v; });
        int best = std::numeric_limits<int>::max();
        uint8_t index = 0;
        auto consider = [&](const Entry& e) {
            const int d = distance(c, e.rgb);
            if (d < best || (d == best && e.index < index)) {
                best = d;
                index = e.index;
            }
        };
        for (auto it = start; it != entries_.end(); ++it) {
            const int dg = green(it->rgb) - g;
            if (dg * dg > best)
                break;
            consider(*it);
        }
        for (auto it = start; it != entries_.begin();) {
            --it;
            const int dg = g - green(it->rgb);
            if (dg * dg > best)
                break;
            consider(*it);
        }
        return index;
    }

private:
    struct Entry {
        uint32_t rgb;
        uint8_t index;
    };
    static int green(uint32_t rgb) { return static_cast<int>((rgb >> 8) & 0xFF); }
    std::array<Entry, 256> entries_{};
};

struct Rect {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0; // half-open, screen coordinates, top-down
    bool empty() const { return x0 >= x1 || y0 >= y1; }
};

// Working tables for turning a screen into a frame. They carry nothing from one frame
// to the next, so one set serves every screen of a file, checkpoints included.
struct Source {
    uint16_t id;
    uint32_t count;
};
struct EmitScratch {
    std::vector<uint32_t> counts = std::vector<uint32_t>(size_t{1} << 16, 0); // zero between uses
    std::vector<uint8_t> lut = std::vector<uint8_t>(size_t{1} << 16, 0);
    std::vector<Source> sources;
};

// The screen a viewer paints on. Each canvas pixel remembers where its colour came
// from, as (colour table slot << 8) | index, rather than the colour itself: that keeps
// the original indices for frames that share a table, and the true colour for pixels
// drawn from another table. Slot 0 holds no colours: pixels of files without a colour
// table keep their bare index.
class Canvas {
public:
    static constexpr int kRawSlot = 0;
    static constexpr int kSlots = 256;

    Canvas(int width, int height) : width_(width), height_(height) {
        pixels_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
        inUse_[kRawSlot] = true;
    }

    int width() const { return width_; }
    int height() const { return height_; }

    // The slot holding the `count` colours at `rgb` (shared with an identical earlier
    // table), or kRawSlot for none.
    int slotFor(const uint8_t* rgb, int count) {
        if (rgb == nullptr || count <= 0)
            return kRawSlot;
        Palette colours{};
        std::copy_n(rgb, static_cast<size_t>(std::min(count, 256)) * 3, colours.begin());
        ++clock_;
        // Files may bring a table with every frame: compare hashes before tables.
        uint64_t hash = 14695981039346656037ull;
        for (uint8_t b : colours)
            hash = (hash ^ b) * 1099511628211ull;
        for (int s = 1; s < kSlots; ++s)
            if (inUse_[s] && hashes_[s] == hash && tables_[s] == colours) {
                lastUse_[s] = clock_;
                return s;
            }
        int slot = freeSlot();
        if (slot < 0) {
            releaseUnreferenced();
            slot = freeSlot();
        }
        if (slot < 0)
            slot = evictOne();
        tables_[slot] = colours;
        hashes_[slot] = hash;
        inUse_[slot] = true;
        lastUse_[slot] = clock_;
        return slot;
    }

    void fill(uint16_t source) { std::fill(pixels_.begin(), pixels_.end(), source); }
    void setBackground(uint16_t source) {
        background_ = source;
        fill(source);
    }

    // Where a frame lands, clipped to the screen.
    Rect clip(int left, int top, int width, int height) const {
        Rect r;
        r.x0 = std::clamp(left, 0, width_);
        r.y0 = std::clamp(top, 0, height_);
        r.x1 = std::clamp(left + width, 0, width_);
        r.y1 = std::clamp(top + height, 0, height_);
        return r;
    }

    void save(const Rect& r) {
        saved_.clear();
        savedRect_ = r;
        for (int y = r.y0; y < r.y1; ++y) {
            const auto row = pixels_.begin() + offset(r.x0, y);
            saved_.insert(saved_.end(), row, row + (r.x1 - r.x0));
        }
    }
    void restore() {
        const Rect& r = savedRect_;
        auto from = saved_.begin();
        for (int y = r.y0; y < r.y1; ++y, from += r.x1 - r.x0)
            std::copy(from, from + (r.x1 - r.x0), pixels_.begin() + offset(r.x0, y));
        saved_.clear();
        savedRect_ = Rect{};
    }
    void clearToBackground(const Rect& r) {
        for (int y = r.y0; y < r.y1; ++y)
            std::fill_n(pixels_.begin() + offset(r.x0, y), r.x1 - r.x0, background_);
    }

    // One decoded row of a frame whose left edge is at screen column `left`.
    void drawRow(int y, int left, const Rect& r, const GifPixelType* line, int slot,
                 int transparent) {
        if (y < r.y0 || y >= r.y1)
            return;
        uint16_t* dst = pixels_.data() + offset(0, y);
        const uint16_t base = static_cast<uint16_t>(slot << 8);
        if (transparent < 0) {
            for (int x = r.x0; x < r.x1; ++x)
                dst[x] = static_cast<uint16_t>(base | line[x - left]);
        } else {
            for (int x = r.x0; x < r.x1; ++x) {
                const GifPixelType p = line[x - left];
                if (p != transparent)
                    dst[x] = static_cast<uint16_t>(base | p);
            }
        }
    }

    // The screen as it stands, as a frame shown with the table in `slot` of
    // `tableSize` entries (kRawSlot: the frame has no palette).
    void emit(int slot, int tableSize, pz4fmt::Frame& out, EmitScratch& scratch) {
        out.width = width_;
        out.height = height_;
        out.pixels.resize(pixels_.size());
        if (slot == kRawSlot || onlyFrom(slot)) {
            // Every pixel shows its bare index through the frame's own table (or
            // none): the common case of one table for the whole file, one pass.
            out.hasPalette = slot != kRawSlot;
            out.colorCount = out.hasPalette ? tableSize : 0;
            if (out.hasPalette)
                out.palette = tables_[slot];
            writeRows(out, [](uint16_t p) { return static_cast<uint8_t>(p & 0xFF); });
            return;
        }
        collectSources(scratch);
        out.hasPalette = true;
        out.colorCount = buildPalette(slot, tableSize, out.palette, scratch);
        const std::vector<uint8_t>& lut = scratch.lut;
        writeRows(out, [&lut](uint16_t p) { return lut[p]; });
    }

private:
    // Whether every pixel in view came from `slot`'s table or from none.
    bool onlyFrom(int slot) const {
        const unsigned own = static_cast<unsigned>(slot);
        unsigned stray = 0;
        for (uint16_t p : pixels_) {
            const unsigned table = p >> 8;
            stray |= static_cast<unsigned>(table != own) & static_cast<unsigned>(table != kRawSlot);
        }
        return stray == 0;
    }

    // The screen's rows into `out`, bottom row first, each pixel through `index`.
    template <class Index> void writeRows(pz4fmt::Frame& out, Index index) const {
        const size_t w = static_cast<size_t>(width_);
        for (int y = 0; y < height_; ++y) {
            const uint16_t* src = pixels_.data() + static_cast<size_t>(y) * w;
            uint8_t* dst = out.pixels.data() + static_cast<size_t>(height_ - 1 - y) * w;
            for (size_t x = 0; x < w; ++x)
                dst[x] = index(src[x]);
        }
    }

    size_t offset(int x, int y) const {
        return static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x);
    }

    int freeSlot() const {
        for (int s = 1; s < kSlots; ++s)
            if (!inUse_[s])
                return s;
        return -1;
    }

    // Pixels per slot on the screen and in the area kept for a later restore.
    std::array<size_t, kSlots> references() const {
        std::array<size_t, kSlots> refs{};
        for (uint16_t p : pixels_)
            ++refs[p >> 8];
        for (uint16_t p : saved_)
            ++refs[p >> 8];
        return refs;
    }

    void releaseUnreferenced() {
        const auto refs = references();
        for (int s = 1; s < kSlots; ++s)
            if (refs[s] == 0 && s != (background_ >> 8))
                inUse_[s] = false;
    }

    // Every slot is still in view: fold the least seen table (the longest unused
    // among equals) into the most seen one by nearest colour. Only a file with 255
    // tables in view at once gets here.
    int evictOne() {
        const auto refs = references();
        const int keep = background_ >> 8;
        int least = -1, most = -1;
        for (int s = 1; s < kSlots; ++s) {
            if (s != keep && (least < 0 || refs[s] < refs[least] ||
                              (refs[s] == refs[least] && lastUse_[s] < lastUse_[least])))
                least = s;
        }
        for (int s = 1; s < kSlots; ++s)
            if (s != least && (most < 0 || refs[s] > refs[most]))
                most = s;
        std::array<uint16_t, 256> remap{};
        const NearestColour target(tables_[most]);
        for (int k = 0; k < 256; ++k)
            remap[k] = static_cast<uint16_t>((most << 8) | target.find(rgbAt(tables_[least], k)));
        auto fold = [&](std::vector<uint16_t>& v) {
            for (uint16_t& p : v)
                if ((p >> 8) == least)
                    p = remap[p & 0xFF];
        };
        fold(pixels_);
        fold(saved_);
        inUse_[least] = false;
        return least;
    }

    // Each source in view once, with its pixel count, in order of first appearance.
    void collectSources(EmitScratch& scratch) {
        std::vector<uint32_t>& counts = scratch.counts;
        scratch.sources.clear();
        for (uint16_t p : pixels_)
            if (counts[p]++ == 0)
                scratch.sources.push_back({p, 0});
        for (Source& s : scratch.sources) {
            s.count = counts[s.id];
            counts[s.id] = 0;
        }
    }

    uint32_t colourOf(uint16_t id) const { return rgbAt(tables_[id >> 8], id & 0xFF); }

    // The frame's own table, with the colours still in view from other tables put
    // in entries the frame does not show: exact while they fit, nearest beyond.
    // Returns the number of palette entries in use.
    int buildPalette(int slot, int tableSize, Palette& palette, EmitScratch& scratch) {
        std::vector<uint8_t>& lut = scratch.lut;
        const Palette& own = tables_[slot];
        palette = own;
        std::array<bool, 256> claimed{};
        std::vector<Source> foreign;
        for (const Source& s : scratch.sources) {
            const int table = s.id >> 8;
            if (table == slot || table == kRawSlot) {
                // Bare indices take the frame's colours, as they would in a viewer.
                claimed[s.id & 0xFF] = true;
                lut[s.id] = static_cast<uint8_t>(s.id & 0xFF);
            } else {
                foreign.push_back(s);
            }
        }
        int used = tableSize;
        if (foreign.empty())
            return used;

        std::unordered_map<uint32_t, uint8_t> byColour; // colour -> entry showing it
        for (int k = 0; k < 256; ++k)
            if (claimed[k])
                byColour.emplace(rgbAt(own, k), static_cast<uint8_t>(k));
        std::unordered_map<uint32_t, uint8_t> ownFree; // colours of entries not in view
        for (int k = tableSize - 1; k >= 0; --k)
            if (!claimed[k])
                ownFree[rgbAt(own, k)] = static_cast<uint8_t>(k);

        auto claim = [&](int k, uint32_t c) {
            claimed[k] = true;
            putRgb(palette, k, c);
            byColour.emplace(c, static_cast<uint8_t>(k));
            used = std::max(used, k + 1);
        };

        // Colours the table already has cost no entry; the rest get entries by how
        // many pixels show them, so what cannot be exact is the least visible.
        std::vector<Source> homeless;
        for (const Source& s : foreign) {
            const uint32_t c = colourOf(s.id);
            if (auto it = byColour.find(c); it != byColour.end()) {
                lut[s.id] = it->second;
            } else if (auto free = ownFree.find(c); free != ownFree.end()) {
                claim(free->second, c);
                lut[s.id] = free->second;
            } else {
                homeless.push_back(s);
            }
        }
        std::stable_sort(homeless.begin(), homeless.end(),
                         [](const Source& a, const Source& b) { return a.count > b.count; });

        // Entries past the table first, then entries of the table not in view.
        std::vector<int> spare;
        for (int k = tableSize; k < 256; ++k)
            spare.push_back(k);
        for (int k = 0; k < tableSize; ++k)
            if (!claimed[k])
                spare.push_back(k);
        size_t nextSpare = 0;
        std::unordered_map<uint32_t, uint8_t> nearest;
        std::unique_ptr<NearestColour> finder; // once every entry is taken
        for (const Source& s : homeless) {
            const uint32_t c = colourOf(s.id);
            if (auto it = byColour.find(c); it != byColour.end()) {
                lut[s.id] = it->second;
                continue;
            }
            while (nextSpare < spare.size() && claimed[spare[nextSpare]])
                ++nextSpare;
            if (nextSpare < spare.size()) {
                claim(spare[nextSpare], c);
                lut[s.id] = static_cast<uint8_t>(spare[nextSpare]);
                continue;
            }
            auto memo = nearest.find(c);
            if (memo == nearest.end()) {
                if (!finder)
                    finder = std::make_unique<NearestColour>(palette);
                memo = nearest.emplace(c, finder->find(c)).first;
            }
            lut[s.id] = memo->second;
        }
        return used;
    }

    int width_;
    int height_;
    std::vector<uint16_t> pixels_;
    std::array<Palette, kSlots> tables_{};
    std::array<uint64_t, kSlots> hashes_{};
    std::array<bool, kSlots> inUse_{};
    std::array<uint64_t, kSlots> lastUse_{};
    uint64_t clock_ = 0;
    uint16_t background_ = 0;
    std::vector<uint16_t> saved_;
    Rect savedRect_;
};

struct FrameControl {
    int disposal = DISPOSAL_UNSPECIFIED;
    int delay = 0;
    int transparent = NO_TRANSPARENT_COLOR;
};

struct Drawn {
    bool whole = true;
    int rows = 0;
};

// Reads the rows of the current image into the canvas, up to any damage.
Drawn drawImage(GifFileType* gif, Canvas& canvas, const Rect& r, int slot, int transparent) {
    const GifImageDesc& d = gif->Image;
    std::vector<GifPixelType> line(static_cast<size_t>(d.Width));
    Drawn drawn;
    auto row = [&](int y) {
        if (DGifGetLine(gif, line.data(), d.Width) == GIF_ERROR)
            return false;
        canvas.drawRow(d.Top + y, d.Left, r, line.data(), slot, transparent);
        ++drawn.rows;
        return true;
    };
    if (d.Interlace) {
        static constexpr int kStart[4] = {0, 4, 2, 1};
        static constexpr int kStep[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = kStart[pass]; y < d.Height; y += kStep[pass])
                if (!row(y)) {
                    drawn.whole = false;
                    return drawn;
                }
    } else {
        for (int y = 0; y < d.Height; ++y)
            if (!row(y)) {
                drawn.whole = false;
                return drawn;
            }
    }
    return drawn;
}

// Where each frame is and what it needs, read from the file's blocks without
// decoding any image data.
struct FrameRecord {
    size_t descriptor = 0; // the first byte after the image separator
    int left = 0, top = 0, width = 0, height = 0;
    size_t localTable = 0; // offset of the local colour table, when localCount > 0
    int localCount = 0;
    FrameControl control;
};

struct Structure {
    int width = 0, height = 0; // of the screen frames are shown on
    int background = 0;
    size_t globalTable = 0; // offset of the global colour table, when globalCount > 0
    int globalCount = 0;
    bool restores = false; // some frame asks for the screen under it back
    std::vector<FrameRecord> frames;
    std::string stop; // why the frames end before the trailer; empty when they do not
};

// A giflib decoder over the whole file, ready to read frame `f`'s image data. Each
// frame gets a fresh one: giflib's LZW tables keep entries of earlier images, which
// damaged data can reach, and a frame must decode the same whichever came before.
detail::DecoderPtr decoderAt(const std::vector<uint8_t>& bytes, MemoryReader& reader,
                             const FrameRecord& f) {
    reader = MemoryReader{bytes.data(), bytes.size(), 0};
    int error = 0;
    detail::DecoderPtr gif(DGifOpen(&reader, readFromMemory, &error));
    if (!gif)
        return nullptr;
    reader.pos = f.descriptor;
    if (DGifGetImageHeader(gif.get()) == GIF_ERROR)
        return nullptr;
    return gif;
}

// Whether a frame cut short by the end of the file yields a row: it is a frame
// (showing what came through) only then.
bool firstRowDecodes(const std::vector<uint8_t>& bytes, const FrameRecord& f) {
    MemoryReader reader{};
    detail::DecoderPtr gif = decoderAt(bytes, reader, f);
    std::vector<GifPixelType> line(static_cast<size_t>(f.width));
    return gif && DGifGetLine(gif.get(), line.data(), f.width) == GIF_OK;
}

std::string sizeText(int width, int height) {
    return std::to_string(width) + "x" + std::to_string(height) + " pixels";
}

// The file's blocks, walked by their lengths. False (with the reason) when the file
// is no GIF or ends before its first block; damage later ends the frames there,
// with the reason in `s.stop`.
bool readStructure(const std::vector<uint8_t>& b, Structure& s, std::string& why) {
    const size_t size = b.size();
    if (size < 3 || b[0] != 'G' || b[1] != 'I' || b[2] != 'F') {
        why = "not a GIF file";
        return false;
    }
    if (size < 13) {
        why = "file ends inside the screen descriptor";
        return false;
    }
    const int screenWidth = pz4fmt::le16(&b[6]);
    const int screenHeight = pz4fmt::le16(&b[8]);
    s.background = b[11];
    size_t pos = 13;
    if (b[10] & 0x80) {
        s.globalCount = 1 << ((b[10] & 7) + 1);
        s.globalTable = pos;
        pos += static_cast<size_t>(s.globalCount) * 3;
        if (pos > size) {
            why = "file ends inside the global colour table";
            return false;
        }
    }

    FrameControl control;
    // Sub-blocks from `pos` to their terminator; false when the file ends first.
    auto skipSubBlocks = [&]() {
        for (;;) {
            if (pos >= size)
                return false;
            const size_t length = b[pos++];
            if (length == 0)
                return true;
            if (length > size - pos) {
                pos = size;
                return false;
            }
            pos += length;
        }
    };
    auto stop = [&](std::string reason) {
        s.stop = std::move(reason);
        return true;
    };
    for (;;) {
        const std::string frame = "frame " + std::to_string(s.frames.size());
        if (pos >= size)
            return stop("file ends before " + frame);
        const uint8_t introducer = b[pos++];
        if (introducer == 0x3B)
            return true;
        if (introducer == 0x21) {
            if (pos >= size)
                return stop("file ends inside an extension before " + frame);
            const uint8_t label = b[pos++];
            // Only a control block of exactly four bytes counts; any other is ignored.
            if (label == 0xF9 && pos + 5 <= size && b[pos] == 4) {
                const uint8_t packed = b[pos + 1];
                control.disposal = (packed >> 2) & 7;
                control.delay = pz4fmt::le16(&b[pos + 2]);
                control.transparent = (packed & 1) ? b[pos + 4] : NO_TRANSPARENT_COLOR;
            }
            if (!skipSubBlocks())
                return stop("file ends inside an extension before " + frame);
            continue;
        }
        if (introducer != 0x2C) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", introducer);
            return stop(std::string("unknown block ") + hex + " before " + frame);
        }
        if (s.frames.size() >= kMaxFrames)
            return stop("more than " + std::to_string(kMaxFrames) + " frames");
        FrameRecord f;
        f.descriptor = pos;
        f.control = control;
        control = FrameControl{};
        if (size - pos < 9)
            return stop("file ends inside " + frame);
        f.left = pz4fmt::le16(&b[pos]);
        f.top = pz4fmt::le16(&b[pos + 2]);
        f.width = pz4fmt::le16(&b[pos + 4]);
        f.height = pz4fmt::le16(&b[pos + 6]);
        const uint8_t packed = b[pos + 8];
        pos += 9;
        if (packed & 0x80) {
            f.localCount = 1 << ((packed & 7) + 1);
            f.localTable = pos;
            if (static_cast<size_t>(f.localCount) * 3 > size - pos)
                return stop("file ends inside " + frame);
            pos += static_cast<size_t>(f.localCount) * 3;
        }
        if (pos >= size)
            return stop("file ends inside " + frame);
        const int codeSize = b[pos++];
        if (codeSize > 8)
            return stop("LZW minimum code size " + std::to_string(codeSize) +
                        " is out of range in " + frame);
        if (f.width <= 0 || f.height <= 0)
            return stop(frame + " of " + sizeText(f.width, f.height) + " is empty");
        if (f.width > pz4fmt::kMaxSide || f.height > pz4fmt::kMaxSide)
            return stop(frame + " of " + sizeText(f.width, f.height) + " is larger than " +
                        std::to_string(pz4fmt::kMaxSide) + " a side");
        if (s.frames.empty()) {
            // A screen of no size is taken to be as large as the first image needs,
            // as viewers do.
            s.width = screenWidth > 0 ? screenWidth : f.left + f.width;
            s.height = screenHeight > 0 ? screenHeight : f.top + f.height;
            if (s.width > pz4fmt::kMaxSide || s.height > pz4fmt::kMaxSide)
                return stop("screen of " + sizeText(s.width, s.height) + " is larger than " +
                            std::to_string(pz4fmt::kMaxSide) + " a side");
        }
        if (!skipSubBlocks()) {
            if (firstRowDecodes(b, f))
                s.frames.push_back(f);
            return stop("file ends inside " + frame);
        }
        s.restores = s.restores || f.control.disposal == DISPOSE_PREVIOUS;
        s.frames.push_back(f);
    }
}

// The GIF side of pz4fmt::SequentialFrames: a file's structure, and how to draw
// each of its frames on a screen.
class GifCodec {
public:
    using Screen = Canvas;

    GifCodec(std::vector<uint8_t> bytes, Structure structure)
        : bytes_(std::move(bytes)), s_(std::move(structure)) {
        // Held for as long as the file is open: no spare capacity from reading it.
        bytes_.shrink_to_fit();
        s_.frames.shrink_to_fit();
    }

    int frameCount() const { return static_cast<int>(s_.frames.size()); }
    size_t screenBytes() const {
        const size_t area = static_cast<size_t>(s_.width) * static_cast<size_t>(s_.height);
        // The screen's sources, the colour tables, and the area kept for a restore.
        return area * sizeof(uint16_t) + sizeof(std::array<Palette, Canvas::kSlots>) +
               (s_.restores ? area * sizeof(uint16_t) : 0);
    }
    size_t frameBytes(int) const {
        return static_cast<size_t>(s_.width) * static_cast<size_t>(s_.height);
    }

    Canvas firstScreen() {
        Canvas canvas(s_.width, s_.height);
        globalSlot_ = s_.globalCount > 0
                          ? canvas.slotFor(bytes_.data() + s_.globalTable, s_.globalCount)
                          : Canvas::kRawSlot;
        canvas.setBackground(static_cast<uint16_t>((globalSlot_ << 8) | s_.background));
        return canvas;
    }

    void step(Canvas& canvas, int index, pz4fmt::Frame* out) {
        const FrameRecord& f = s_.frames[static_cast<size_t>(index)];
        const bool local = f.localCount > 0;
        const int slot =
            local ? canvas.slotFor(bytes_.data() + f.localTable, f.localCount) : globalSlot_;
        const int tableSize = local ? f.localCount : s_.globalCount;
        const Rect r = canvas.clip(f.left, f.top, f.width, f.height);
        if (f.control.disposal == DISPOSE_PREVIOUS)
            canvas.save(r);
        MemoryReader reader{};
        detail::DecoderPtr gif = decoderAt(bytes_, reader, f);
        lastDrawn_ =
            gif ? drawImage(gif.get(), canvas, r, slot, f.control.transparent) : Drawn{false, 0};
        if (out != nullptr) {
            if (!scratch_)
                scratch_ = std::make_unique<EmitScratch>();
            canvas.emit(slot, tableSize, *out, *scratch_);
            out->tag = f.control.delay;
        }
        if (f.control.disposal == DISPOSE_BACKGROUND)
            canvas.clearToBackground(r);
        else if (f.control.disposal == DISPOSE_PREVIOUS)
            canvas.restore();
    }

    // How much of the last frame stepped through came out of its data.
    Drawn lastDrawn() const { return lastDrawn_; }

private:
    std::vector<uint8_t> bytes_;
    Structure s_;
    int globalSlot_ = Canvas::kRawSlot;
    std::unique_ptr<EmitScratch> scratch_; // made when the first frame is shown
    Drawn lastDrawn_;
};

// The codec of `bytes`, or none (with the reason) when not one frame can be read.
std::optional<GifCodec> openCodec(std::vector<uint8_t> bytes, std::string& why) {
    Structure s;
    if (!readStructure(bytes, s, why))
        return std::nullopt;
    if (s.frames.empty()) {
        why = s.stop.empty() ? "the file holds no frames" : s.stop;
        return std::nullopt;
    }
    return GifCodec(std::move(bytes), std::move(s));
}

} // namespace

std::unique_ptr<pz4fmt::FrameSource> openGif(std::vector<uint8_t> bytes, size_t maxHeldBytes,
                                             pz4fmt::Failure* why) {
    std::string reason;
    std::optional<GifCodec> codec = openCodec(std::move(bytes), reason);
    if (!codec) {
        if (why != nullptr)
            why->fail("%s", reason.c_str());
        return nullptr;
    }
    return std::make_unique<pz4fmt::SequentialFrames<GifCodec>>(std::move(*codec), maxHeldBytes);
}

bool decodeGif(const uint8_t* data, size_t size, pz4fmt::Image& out, size_t maxHeldBytes,
               pz4fmt::Failure* why) {
    out.frames.clear();
    std::string reason;
    pz4fmt::Failure ignored;
    auto fail = [&](const std::string& text) {
        return (why != nullptr ? *why : ignored).fail("%s", text.c_str());
    };
    if (data == nullptr || size == 0)
        return fail("the file is empty");
    std::optional<GifCodec> codec = openCodec(std::vector<uint8_t>(data, data + size), reason);
    if (!codec)
        return fail(reason);
    size_t held = codec->screenBytes();
    if (held > maxHeldBytes)
        return fail("the screen alone is beyond the limit on pixels held");
    Canvas screen = codec->firstScreen();
    for (int k = 0; k < codec->frameCount(); ++k) {
        const size_t need = codec->frameBytes(k);
        if (need > maxHeldBytes - held)
            break;
        pz4fmt::Frame frame;
        codec->step(screen, k, &frame);
        const Drawn drawn = codec->lastDrawn();
        // A damaged image still shows the rows that came through, as viewers do; one
        // that yielded none is no frame. Either way the frames end there.
        if (drawn.rows == 0 && !drawn.whole)
            break;
        held += need;
        out.frames.push_back(std::move(frame));
        if (!drawn.whole)
            break;
    }
    if (out.frames.empty())
        return fail(codec->lastDrawn().whole ? "frame 0 is beyond the limit on pixels held"
                                             : "the image data of frame 0 is damaged");
    return true;
}

} // namespace pz4gif
