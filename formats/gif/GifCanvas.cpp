#include "GifCanvas.h"

#include <algorithm>
#include <limits>
#include <memory>

namespace pz4gif::detail {
namespace {

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

// The loop below is most of the time a file with a table a frame takes; where the
// processor has wider vectors it runs on them, chosen once when the plug-in loads.
#if defined(__GNUC__) && defined(__x86_64__) && defined(__ELF__)
#define PZ4_WIDEST_VECTORS __attribute__((target_clones("avx2", "default")))
#else
#define PZ4_WIDEST_VECTORS
#endif

// The packed distance-and-index of the nearest of 256 entries to (r, g, b).
PZ4_WIDEST_VECTORS
int32_t nearestPacked(const int32_t* rs, const int32_t* gs, const int32_t* bs, const int32_t* index,
                      int32_t r, int32_t g, int32_t b) {
    int32_t best = std::numeric_limits<int32_t>::max();
    for (size_t k = 0; k < 256; ++k) {
        const int32_t dr = rs[k] - r, dg = gs[k] - g, db = bs[k] - b;
        // At most 3 * 255^2 < 2^18: room for the index below it.
        best = std::min(best, ((dr * dr + dg * dg + db * db) << 8) | index[k]);
    }
    return best;
}

// Nearest palette entry by RGB distance, the lowest index among equals. A frame may
// hold thousands of colours beyond its palette, each looked up once: every entry is
// measured, in a loop of 32-bit lanes the compiler makes vector code of, and the
// distance and the index packed into one number so a single minimum finds both.
class NearestColour {
public:
    // `excluded` (a transparent entry) is never the answer.
    explicit NearestColour(const Palette& palette, int excluded = -1) {
        for (size_t k = 0; k < 256; ++k) {
            r_[k] = palette[3 * k];
            g_[k] = palette[3 * k + 1];
            b_[k] = palette[3 * k + 2];
            index_[k] = static_cast<int32_t>(k) == excluded ? kExcluded : static_cast<int32_t>(k);
        }
    }

    uint8_t find(uint32_t c) const {
        const int32_t r = static_cast<int32_t>(c & 0xFF), g = static_cast<int32_t>((c >> 8) & 0xFF),
                      b = static_cast<int32_t>(c >> 16);
        return static_cast<uint8_t>(
            nearestPacked(r_.data(), g_.data(), b_.data(), index_.data(), r, g, b) & 0xFF);
    }

private:
    static constexpr int32_t kExcluded = std::numeric_limits<int32_t>::max();
    alignas(32) std::array<int32_t, 256> r_{}, g_{}, b_{}, index_{};
};

} // namespace

Canvas::Canvas(int width, int height) : width_(width), height_(height) {
    pixels_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    inUse_[kRawSlot] = true;
}

int Canvas::slotFor(const uint8_t* rgb, int count) {
    if (rgb == nullptr || count <= 0)
        return kRawSlot;
    Palette colours{};
    std::copy_n(rgb, static_cast<size_t>(std::min(count, 256)) * 3, colours.begin());
    ++clock_;
    // Files may bring a table with every frame: compare hashes before tables.
    uint64_t hash = 14695981039346656037ull;
    for (uint8_t b : colours)
        hash = (hash ^ b) * 1099511628211ull;
    for (int s = 1; s < kTableSlots; ++s)
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

void Canvas::setBackground(uint16_t source) {
    background_ = source;
    std::fill(pixels_.begin(), pixels_.end(), kUndrawn);
}

Rect Canvas::clip(int left, int top, int width, int height) const {
    Rect r;
    r.x0 = std::clamp(left, 0, width_);
    r.y0 = std::clamp(top, 0, height_);
    r.x1 = std::clamp(left + width, 0, width_);
    r.y1 = std::clamp(top + height, 0, height_);
    return r;
}

void Canvas::save(const Rect& r) {
    saved_.clear();
    savedRect_ = r;
    for (int y = r.y0; y < r.y1; ++y) {
        const auto row = pixels_.begin() + offset(r.x0, y);
        saved_.insert(saved_.end(), row, row + (r.x1 - r.x0));
    }
}

void Canvas::restore() {
    const Rect& r = savedRect_;
    auto from = saved_.begin();
    for (int y = r.y0; y < r.y1; ++y, from += r.x1 - r.x0)
        std::copy(from, from + (r.x1 - r.x0), pixels_.begin() + offset(r.x0, y));
    saved_.clear();
    savedRect_ = Rect{};
}

void Canvas::clearToBackground(const Rect& r) {
    for (int y = r.y0; y < r.y1; ++y)
        std::fill_n(pixels_.begin() + offset(r.x0, y), r.x1 - r.x0, kUndrawn);
}

void Canvas::drawRow(int y, int left, const Rect& r, const uint8_t* line, int slot,
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
            const uint8_t p = line[x - left];
            if (p != transparent)
                dst[x] = static_cast<uint16_t>(base | p);
        }
    }
}

template <class Index> void Canvas::writeRows(pz4fmt::Frame& out, Index index) const {
    const size_t w = static_cast<size_t>(width_);
    for (int y = 0; y < height_; ++y) {
        const uint16_t* src = pixels_.data() + static_cast<size_t>(y) * w;
        uint8_t* dst = out.pixels.data() + static_cast<size_t>(height_ - 1 - y) * w;
        for (size_t x = 0; x < w; ++x)
            dst[x] = index(src[x]);
    }
}

void Canvas::emit(int slot, int tableSize, int transparent, pz4fmt::Frame& out,
                  EmitScratch& scratch) {
    out.width = width_;
    out.height = height_;
    out.pixels.resizeForOverwrite(pixels_.size());
    out.transparentIndex = transparent;
    // A frame without a transparent colour shows undrawn pixels as the background.
    const uint16_t undrawn = transparent >= 0 ? kUndrawn : background_;
    const uint8_t undrawnIndex =
        static_cast<uint8_t>(transparent >= 0 ? transparent : background_ & 0xFF);
    if (slot == kRawSlot || showsBareIndices(slot, transparent)) {
        // Every pixel shows its bare index through the frame's own table (or, for a
        // frame without one, through whatever palette it is shown with): the
        // common case of one table for the whole file, one pass.
        out.hasPalette = slot != kRawSlot;
        out.colorCount = out.hasPalette ? std::max(tableSize, transparent + 1) : 0;
        if (out.hasPalette)
            out.palette = tables_[slot];
        writeRows(out, [undrawnIndex](uint16_t p) {
            return p == kUndrawn ? undrawnIndex : static_cast<uint8_t>(p & 0xFF);
        });
        return;
    }
    collectSources(scratch, undrawn);
    out.hasPalette = true;
    out.colorCount = buildPalette(slot, tableSize, transparent, out.palette, scratch);
    std::vector<uint8_t>& lut = scratch.lut;
    lut[kUndrawn] = lut[undrawn];
    // A byte written may be any object to the compiler, the list's place included:
    // the place is taken once.
    writeRows(out, [table = lut.data()](uint16_t p) { return table[p]; });
}

bool Canvas::showsBareIndices(int slot, int transparent) const {
    const auto own = static_cast<uint16_t>(slot);
    const unsigned backgroundTable = background_ >> 8;
    // Undrawn pixels show the transparent entry, or the background's bare index
    // when it is the frame's table's own.
    const bool undrawnFits =
        transparent >= 0 || backgroundTable == own || backgroundTable == kRawSlot;
    const auto clash = static_cast<uint16_t>(transparent >= 0 ? transparent : 256);
    const uint16_t undrawnStray = undrawnFits ? 0 : 1;
    // Runs once a frame over the whole screen: kept free of branches, in 16-bit lanes,
    // so the compiler makes vector code of it, a stretch at a time, so that a screen
    // of many tables is found out at its first stretch.
    constexpr size_t kStretch = 4096;
    const uint16_t* p = pixels_.data();
    for (size_t left = pixels_.size(); left > 0;) {
        const size_t n = std::min(left, kStretch);
        uint16_t stray = 0;
        for (size_t i = 0; i < n; ++i) {
            const auto table = static_cast<uint16_t>(p[i] >> 8);
            const auto drawnStray = static_cast<uint16_t>(((table != own) & (table != kRawSlot)) |
                                                          ((p[i] & 0xFFu) == clash));
            stray |= p[i] == kUndrawn ? undrawnStray : drawnStray;
        }
        if (stray != 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

int Canvas::freeSlot() const {
    for (int s = 1; s < kTableSlots; ++s)
        if (!inUse_[s])
            return s;
    return -1;
}

std::array<size_t, Canvas::kSlots> Canvas::references() const {
    std::array<size_t, kSlots> refs{};
    for (uint16_t p : pixels_)
        ++refs[p >> 8];
    for (uint16_t p : saved_)
        ++refs[p >> 8];
    return refs;
}

void Canvas::releaseUnreferenced() {
    const auto refs = references();
    for (int s = 1; s < kTableSlots; ++s)
        if (refs[s] == 0 && s != (background_ >> 8))
            inUse_[s] = false;
}

int Canvas::evictOne() {
    const auto refs = references();
    const int keep = background_ >> 8;
    int least = -1, most = -1;
    for (int s = 1; s < kTableSlots; ++s) {
        if (s != keep && (least < 0 || refs[s] < refs[least] ||
                          (refs[s] == refs[least] && lastUse_[s] < lastUse_[least])))
            least = s;
    }
    for (int s = 1; s < kTableSlots; ++s)
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

void Canvas::collectSources(EmitScratch& scratch, uint16_t undrawn) {
    // Raw pointers: the compiler would otherwise load the tables' places anew for
    // every pixel, as growing the list may move anything.
    uint32_t* const counts = scratch.counts.data();
    std::vector<Source>& sources = scratch.sources;
    sources.clear();
    for (const uint16_t *p = pixels_.data(), *end = p + pixels_.size(); p != end; ++p) {
        const uint16_t id = *p == kUndrawn ? undrawn : *p;
        if (counts[id]++ == 0)
            sources.push_back({id, 0});
    }
    for (Source& s : sources) {
        s.count = counts[s.id];
        counts[s.id] = 0;
    }
}

uint32_t Canvas::colourOf(uint16_t id) const {
    return rgbAt(tables_[id >> 8], id & 0xFF);
}

int Canvas::buildPalette(int slot, int tableSize, int transparent, Palette& palette,
                         EmitScratch& scratch) {
    std::vector<uint8_t>& lut = scratch.lut;
    const Palette& own = tables_[slot];
    palette = own;
    std::array<bool, 256> claimed{};
    std::vector<Source>& foreign = scratch.foreign;
    foreign.clear();
    for (const Source& s : scratch.sources) {
        const int table = s.id >> 8;
        const int index = s.id & 0xFF;
        if (s.id == kUndrawn) {
            lut[s.id] = static_cast<uint8_t>(transparent);
        } else if ((table == slot || table == kRawSlot) && index != transparent) {
            // Bare indices take the frame's colours, as they would in a viewer.
            claimed[index] = true;
            lut[s.id] = static_cast<uint8_t>(index);
        } else {
            // Another table's colour, or an opaque pixel an earlier frame drew with
            // the index this frame shows as transparent: both need an entry of
            // their own colour.
            foreign.push_back(s);
        }
    }
    int used = std::max(tableSize, transparent + 1);
    if (foreign.empty())
        return used;

    ColourIndex& byColour = scratch.byColour; // colour -> entry showing it
    byColour.clear();
    for (int k = 0; k < 256; ++k)
        if (claimed[k])
            byColour.insert(rgbAt(own, k), static_cast<uint8_t>(k));
    if (transparent >= 0)
        claimed[transparent] = true; // holds undrawn pixels and nothing else
    // Bare indices show the frame's own colours, those of other tables their own.
    auto colourFor = [&](uint16_t id) {
        return (id >> 8) == kRawSlot ? rgbAt(own, id & 0xFF) : colourOf(id);
    };
    ColourIndex& ownFree = scratch.ownFree; // colours of entries not in view, first entry
    ownFree.clear();
    for (int k = 0; k < tableSize; ++k)
        if (!claimed[k])
            ownFree.insert(rgbAt(own, k), static_cast<uint8_t>(k));

    auto claim = [&](int k, uint32_t c) {
        claimed[k] = true;
        putRgb(palette, k, c);
        byColour.insert(c, static_cast<uint8_t>(k));
        used = std::max(used, k + 1);
    };

    // Colours the table already has cost no entry; the rest get entries by how
    // many pixels show them, so what cannot be exact is the least visible. Each
    // is ordered as one number, the count above its place: the order a stable sort
    // by count gives.
    std::vector<uint64_t>& homeless = scratch.homeless;
    homeless.clear();
    for (size_t i = 0; i < foreign.size(); ++i) {
        const Source& s = foreign[i];
        const uint32_t c = colourFor(s.id);
        if (const int k = byColour.find(c); k >= 0) {
            lut[s.id] = static_cast<uint8_t>(k);
        } else if (const int free = ownFree.find(c); free >= 0) {
            claim(free, c);
            lut[s.id] = static_cast<uint8_t>(free);
        } else {
            homeless.push_back((uint64_t{~s.count} << 32) | i);
        }
    }

    // Entries past the table first, then entries of the table not in view.
    std::vector<int>& spare = scratch.spare;
    spare.clear();
    for (int k = tableSize; k < 256; ++k)
        spare.push_back(k);
    for (int k = 0; k < tableSize; ++k)
        if (!claimed[k])
            spare.push_back(k);
    size_t nextSpare = 0;
    ColourIndex& nearest = scratch.nearest;
    nearest.clear();
    std::unique_ptr<NearestColour> finder; // once every entry is taken
    // Only those that take the spare entries need that order: once the entries are
    // gone, each of the rest takes its nearest, whatever the order. So the order is
    // made a part at a time, while entries are left.
    size_t ordered = 0;
    for (size_t i = 0; i < homeless.size(); ++i) {
        if (i == ordered && nextSpare < spare.size()) {
            ordered =
                std::min(homeless.size(), i + std::max<size_t>(64, 2 * (spare.size() - nextSpare)));
            std::partial_sort(homeless.begin() + static_cast<ptrdiff_t>(i),
                              homeless.begin() + static_cast<ptrdiff_t>(ordered), homeless.end());
        }
        const uint16_t id = foreign[static_cast<uint32_t>(homeless[i])].id;
        const uint32_t c = colourFor(id);
        if (const int k = byColour.find(c); k >= 0) {
            lut[id] = static_cast<uint8_t>(k);
            continue;
        }
        while (nextSpare < spare.size() && claimed[spare[nextSpare]])
            ++nextSpare;
        if (nextSpare < spare.size()) {
            claim(spare[nextSpare], c);
            lut[id] = static_cast<uint8_t>(spare[nextSpare]);
            continue;
        }
        int memo = nearest.find(c);
        if (memo < 0) {
            if (!finder)
                finder = std::make_unique<NearestColour>(palette, transparent);
            memo = finder->find(c);
            nearest.insert(c, static_cast<uint8_t>(memo));
        }
        lut[id] = static_cast<uint8_t>(memo);
    }
    return used;
}

} // namespace pz4gif::detail
