#include "Palettise.h"

#include <dlfcn.h>
#include <libimagequant.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <vector>

namespace pz4fmt {

namespace {

// libimagequant's trade of time for quality, 1 (best) to 10 (fastest). Even the
// fastest leaves a smaller error on a photograph than Pillow's median cut, in less
// time (bench_truecolour); slower settings cost several times as much.
constexpr int kQuantiseSpeed = 10;

// libimagequant runs its loops on OpenMP threads, which outlive the call and wait
// inside the OpenMP runtime. The program unloads a plug-in when it closes it, and
// the runtime would go with it, under its waiting threads (its start-up
// allocations then read as leaks too). So the runtime is made resident once, when
// the plug-in is loaded; the plug-in itself still unloads.
[[maybe_unused]] const bool kOpenMpResident =
    dlopen("libgomp.so.1", RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE) != nullptr;

// A pixel after the alpha rule, as one 32-bit key: opaque colours carry an alpha
// byte of 0xFF, every see-through pixel is the key 0, so an opaque black and the
// see-through entry never meet. kNoColour is neither and marks a free slot.
constexpr uint32_t kOpaqueByte = std::endian::native == std::endian::little ? 0xFF000000u : 0xFFu;
constexpr uint32_t kSeeThrough = 0;
constexpr uint32_t kNoColour = 1;

inline uint32_t keyOf(const uint8_t* p) {
    if (p[3] < kOpaqueFrom)
        return kSeeThrough;
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v | kOpaqueByte;
}

// The colours of a picture of at most 256 of them, in the order they appear:
// open addressing over four times as many slots as colours, so a probe rarely
// goes past its first slot.
class ColourTable {
public:
    static constexpr int kMaxColours = 256;

    ColourTable() { keys_.fill(kNoColour); }

    // The index of `key`, added when new; -1 once a 257th colour turns up.
    int indexOf(uint32_t key) {
        size_t slot = (key * 0x9E3779B1u) >> (32 - kSlotBits);
        while (keys_[slot] != key) {
            if (keys_[slot] == kNoColour) {
                if (count_ == kMaxColours)
                    return -1;
                keys_[slot] = key;
                indices_[slot] = static_cast<uint8_t>(count_);
                colours_[static_cast<size_t>(count_)] = key;
                return count_++;
            }
            slot = (slot + 1) & (kSlots - 1);
        }
        return indices_[slot];
    }

    int count() const { return count_; }
    uint32_t colour(int k) const { return colours_[static_cast<size_t>(k)]; }

private:
    static constexpr int kSlotBits = 10;
    static constexpr size_t kSlots = size_t{1} << kSlotBits;
    std::array<uint32_t, kSlots> keys_;
    std::array<uint8_t, kSlots> indices_{};
    std::array<uint32_t, kMaxColours> colours_{};
    int count_ = 0;
};

void setEntry(Frame& f, int k, uint8_t r, uint8_t g, uint8_t b) {
    f.palette[3 * static_cast<size_t>(k)] = r;
    f.palette[3 * static_cast<size_t>(k) + 1] = g;
    f.palette[3 * static_cast<size_t>(k) + 2] = b;
}

// False when the picture holds more than 256 colours; `out` then holds a part of
// the indices, which the quantiser overwrites.
bool palettiseExactly(const uint8_t* rgba, int width, int height, Rgb transparent, Frame& out) {
    ColourTable table;
    const size_t w = static_cast<size_t>(width);
    uint32_t last = kNoColour;
    uint8_t lastIndex = 0;
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = rgba + static_cast<size_t>(y) * w * 4;
        uint8_t* dst = out.pixels.data() + static_cast<size_t>(height - 1 - y) * w;
        for (size_t x = 0; x < w; ++x, src += 4) {
            const uint32_t key = keyOf(src);
            // Sprite art runs in spans of one colour: most pixels stop here.
            if (key != last) {
                const int k = table.indexOf(key);
                if (k < 0)
                    return false;
                last = key;
                lastIndex = static_cast<uint8_t>(k);
            }
            dst[x] = lastIndex;
        }
    }
    for (int k = 0; k < table.count(); ++k) {
        const uint32_t key = table.colour(k);
        if (key == kSeeThrough) {
            out.transparentIndex = k;
            setEntry(out, k, transparent.r, transparent.g, transparent.b);
            continue;
        }
        uint8_t c[4];
        std::memcpy(c, &key, 4);
        setEntry(out, k, c[0], c[1], c[2]);
    }
    out.colorCount = table.count();
    return true;
}

struct LiqAttr {
    void operator()(liq_attr* a) const { liq_attr_destroy(a); }
};
struct LiqImage {
    void operator()(liq_image* i) const { liq_image_destroy(i); }
};
struct LiqResult {
    void operator()(liq_result* r) const { liq_result_destroy(r); }
};

struct RowSource {
    const uint8_t* rgba;
    Rgb transparent;
};

// Rows as the quantiser sees them: every pixel opaque, so its palette holds
// opaque colours only. See-through pixels carry no weight (the importance map)
// and take the entry of their own afterwards.
void opaqueRow(liq_color out[], int row, int width, void* user) {
    const auto* source = static_cast<const RowSource*>(user);
    const uint8_t* p = source->rgba + static_cast<size_t>(row) * static_cast<size_t>(width) * 4;
    for (int x = 0; x < width; ++x, p += 4) {
        if (p[3] < kOpaqueFrom)
            out[x] =
                liq_color{source->transparent.r, source->transparent.g, source->transparent.b, 255};
        else
            out[x] = liq_color{p[0], p[1], p[2], 255};
    }
}

bool quantise(const uint8_t* rgba, int width, int height, Rgb transparent, Frame& out,
              Failure& why) {
    const size_t w = static_cast<size_t>(width);
    const size_t area = w * static_cast<size_t>(height);
    bool seeThrough = false;
    for (size_t i = 0; i < area && !seeThrough; ++i)
        seeThrough = rgba[4 * i + 3] < kOpaqueFrom;

    std::unique_ptr<liq_attr, LiqAttr> attr(liq_attr_create());
    if (!attr)
        return why.fail("out of memory for quantising");
    liq_set_max_colors(attr.get(), seeThrough ? 255 : 256);
    liq_set_speed(attr.get(), kQuantiseSpeed);
    RowSource source{rgba, transparent};
    std::unique_ptr<liq_image, LiqImage> image(
        liq_image_create_custom(attr.get(), opaqueRow, &source, width, height, 0));
    if (!image)
        return why.fail("picture of %dx%d pixels cannot be quantised", width, height);
    if (seeThrough) {
        std::vector<unsigned char> importance(area);
        for (size_t i = 0; i < area; ++i)
            importance[i] = rgba[4 * i + 3] < kOpaqueFrom ? 0 : 255;
        if (liq_image_set_importance_map(image.get(), importance.data(), area, LIQ_COPY_PIXELS) !=
            LIQ_OK)
            return why.fail("out of memory for quantising");
    }
    liq_result* made = nullptr;
    if (const liq_error e = liq_image_quantize(image.get(), attr.get(), &made); e != LIQ_OK)
        return why.fail("colours could not be quantised (libimagequant error %d)",
                        static_cast<int>(e));
    std::unique_ptr<liq_result, LiqResult> result(made);
    liq_set_dithering_level(result.get(), 0);
    std::vector<uint8_t> topDown(area);
    if (liq_write_remapped_image(result.get(), image.get(), topDown.data(), area) != LIQ_OK)
        return why.fail("colours could not be quantised");
    const liq_palette* palette = liq_get_palette(result.get());
    const int count = static_cast<int>(std::min<unsigned>(palette->count, 256));
    for (int k = 0; k < count; ++k) {
        const liq_color& c = palette->entries[k];
        setEntry(out, k, c.r, c.g, c.b);
    }
    out.colorCount = count;
    if (seeThrough) {
        out.transparentIndex = count;
        setEntry(out, count, transparent.r, transparent.g, transparent.b);
        out.colorCount = count + 1;
        for (size_t i = 0; i < area; ++i)
            if (rgba[4 * i + 3] < kOpaqueFrom)
                topDown[i] = static_cast<uint8_t>(count);
    }
    for (int y = 0; y < height; ++y)
        std::copy_n(topDown.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(y) * w), w,
                    out.pixels.begin() +
                        static_cast<std::ptrdiff_t>(static_cast<size_t>(height - 1 - y) * w));
    return true;
}

} // namespace

bool palettise(const uint8_t* rgba, int width, int height, Rgb transparent, Frame& out,
               Failure& why) {
    out.width = width;
    out.height = height;
    // Both ways of palettising write every index.
    out.pixels.resizeForOverwrite(static_cast<size_t>(width) * static_cast<size_t>(height));
    out.palette.fill(0);
    out.hasPalette = true;
    out.transparentIndex = -1;
    if (palettiseExactly(rgba, width, height, transparent, out))
        return true;
    out.palette.fill(0);
    out.transparentIndex = -1;
    return quantise(rgba, width, height, transparent, out, why);
}

} // namespace pz4fmt
