#include "GifCodec.h"
#include "GifHandles.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <memory>
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
        counts_.assign(size_t{1} << 16, 0);
        lut_.assign(size_t{1} << 16, 0);
        inUse_[kRawSlot] = true;
    }

    int width() const { return width_; }
    int height() const { return height_; }

    // The slot holding `map`'s colours (shared with an identical earlier table),
    // or kRawSlot for none.
    int slotFor(const ColorMapObject* map) {
        if (map == nullptr || map->Colors == nullptr || map->ColorCount <= 0)
            return kRawSlot;
        Palette colours{};
        const int count = std::min(map->ColorCount, 256);
        for (int i = 0; i < count; ++i) {
            colours[static_cast<size_t>(i) * 3] = map->Colors[i].Red;
            colours[static_cast<size_t>(i) * 3 + 1] = map->Colors[i].Green;
            colours[static_cast<size_t>(i) * 3 + 2] = map->Colors[i].Blue;
        }
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
    void emit(int slot, int tableSize, pz4fmt::Frame& out) {
        out.width = width_;
        out.height = height_;
        collectSources();
        if (slot == kRawSlot) {
            for (const Source& s : sources_)
                lut_[s.id] = static_cast<uint8_t>(s.id & 0xFF);
            out.hasPalette = false;
            out.colorCount = 0;
        } else {
            out.hasPalette = true;
            out.colorCount = buildPalette(slot, tableSize, out.palette);
        }
        out.pixels.resize(pixels_.size());
        const size_t w = static_cast<size_t>(width_);
        for (int y = 0; y < height_; ++y) {
            const uint16_t* src = pixels_.data() + static_cast<size_t>(y) * w;
            uint8_t* dst = out.pixels.data() + static_cast<size_t>(height_ - 1 - y) * w;
            for (size_t x = 0; x < w; ++x)
                dst[x] = lut_[src[x]];
        }
    }

private:
    struct Source {
        uint16_t id;
        uint32_t count;
    };

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
    void collectSources() {
        sources_.clear();
        for (uint16_t p : pixels_)
            if (counts_[p]++ == 0)
                sources_.push_back({p, 0});
        for (Source& s : sources_) {
            s.count = counts_[s.id];
            counts_[s.id] = 0;
        }
    }

    uint32_t colourOf(uint16_t id) const { return rgbAt(tables_[id >> 8], id & 0xFF); }

    // The frame's own table, with the colours still in view from other tables put
    // in entries the frame does not show: exact while they fit, nearest beyond.
    // Returns the number of palette entries in use.
    int buildPalette(int slot, int tableSize, Palette& palette) {
        const Palette& own = tables_[slot];
        palette = own;
        std::array<bool, 256> claimed{};
        std::vector<Source> foreign;
        for (const Source& s : sources_) {
            const int table = s.id >> 8;
            if (table == slot || table == kRawSlot) {
                // Bare indices take the frame's colours, as they would in a viewer.
                claimed[s.id & 0xFF] = true;
                lut_[s.id] = static_cast<uint8_t>(s.id & 0xFF);
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
                lut_[s.id] = it->second;
            } else if (auto free = ownFree.find(c); free != ownFree.end()) {
                claim(free->second, c);
                lut_[s.id] = free->second;
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
                lut_[s.id] = it->second;
                continue;
            }
            while (nextSpare < spare.size() && claimed[spare[nextSpare]])
                ++nextSpare;
            if (nextSpare < spare.size()) {
                claim(spare[nextSpare], c);
                lut_[s.id] = static_cast<uint8_t>(spare[nextSpare]);
                continue;
            }
            auto memo = nearest.find(c);
            if (memo == nearest.end()) {
                if (!finder)
                    finder = std::make_unique<NearestColour>(palette);
                memo = nearest.emplace(c, finder->find(c)).first;
            }
            lut_[s.id] = memo->second;
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
    std::vector<uint32_t> counts_;
    std::vector<uint8_t> lut_;
    std::vector<Source> sources_;
};

struct FrameControl {
    int disposal = DISPOSAL_UNSPECIFIED;
    int delay = 0;
    int transparent = NO_TRANSPARENT_COLOR;
};

bool skipExtension(GifFileType* gif, FrameControl& control) {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
        return false;
    if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr) {
        GraphicsControlBlock gcb;
        // A malformed control block is ignored rather than ending the file.
        if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK) {
            control.disposal = gcb.DisposalMode;
            control.delay = gcb.DelayTime;
            control.transparent = gcb.TransparentColor;
        }
    }
    while (block != nullptr)
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
            return false;
    return true;
}

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

} // namespace

bool decodeGif(const uint8_t* data, size_t size, pz4fmt::Image& out, size_t maxDecodedBytes) {
    out.frames.clear();
    if (data == nullptr || size == 0)
        return false;
    MemoryReader reader{data, size, 0};
    int error = 0;
    detail::DecoderPtr gif(DGifOpen(&reader, readFromMemory, &error));
    if (!gif)
        return false;

    std::unique_ptr<Canvas> canvas;
    int globalSlot = Canvas::kRawSlot;
    pz4fmt::DecodeBudget shown(maxDecodedBytes);   // the frames handed out
    pz4fmt::DecodeBudget decoded(maxDecodedBytes); // the images decoded to make them
    FrameControl control;

    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR || type == TERMINATE_RECORD_TYPE)
            break;
        if (type == EXTENSION_RECORD_TYPE) {
            if (!skipExtension(gif.get(), control))
                break;
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif.get()) == GIF_ERROR)
            break;
        const GifImageDesc& d = gif->Image;
        if (out.frames.size() >= kMaxFrames || !decoded.take(d.Width, d.Height))
            break;
        if (!canvas) {
            // A screen of no size is taken to be as large as the first image needs,
            // as viewers do; anything beyond the caps refuses the file.
            const int width = gif->SWidth > 0 ? gif->SWidth : d.Left + d.Width;
            const int height = gif->SHeight > 0 ? gif->SHeight : d.Top + d.Height;
            if (!shown.take(width, height))
                break;
            canvas = std::make_unique<Canvas>(width, height);
            globalSlot = canvas->slotFor(gif->SColorMap);
            const int background = std::clamp(gif->SBackGroundColor, 0, 255);
            canvas->setBackground(static_cast<uint16_t>((globalSlot << 8) | background));
        } else if (!shown.take(canvas->width(), canvas->height())) {
            break;
        }

        const ColorMapObject* table = d.ColorMap != nullptr ? d.ColorMap : gif->SColorMap;
        const int slot = d.ColorMap != nullptr ? canvas->slotFor(d.ColorMap) : globalSlot;
        const int tableSize = table != nullptr ? std::min(table->ColorCount, 256) : 0;
        const Rect r = canvas->clip(d.Left, d.Top, d.Width, d.Height);
        if (control.disposal == DISPOSE_PREVIOUS)
            canvas->save(r);
        const Drawn drawn = drawImage(gif.get(), *canvas, r, slot, control.transparent);
        // giflib keeps a record of every image it read, grown by one reallocation per
        // image; dropped here so a file of many frames costs linear time.
        GifFreeSavedImages(gif.get());
        gif->ImageCount = 0;
        // A damaged image still shows the rows that came through, as viewers do; one
        // that yielded none is no frame.
        if (drawn.rows == 0 && !drawn.whole)
            break;

        pz4fmt::Frame frame;
        canvas->emit(slot, tableSize, frame);
        frame.tag = control.delay;
        out.frames.push_back(std::move(frame));

        if (control.disposal == DISPOSE_BACKGROUND)
            canvas->clearToBackground(r);
        else if (control.disposal == DISPOSE_PREVIOUS)
            canvas->restore();
        control = FrameControl{};
        if (!drawn.whole)
            break;
    }
    return !out.frames.empty();
}

} // namespace pz4gif
