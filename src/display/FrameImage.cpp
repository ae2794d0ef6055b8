#include "display/FrameImage.h"

#include "frames/FrameList.h"
#include "palette/TRNManager.h"

#include <cstdint>
#include <cstring>
#include <limits>

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define PZ4_FRAME_IMAGE_X86 1
#include <immintrin.h>
#endif

namespace {

// Four independent table reads per step, so their loads overlap; on this
// kind of loop that measures faster than composing 8-byte words from the table.
void translatePortable(const unsigned char* src, unsigned char* dst, size_t n,
                       const unsigned char* table) {
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const unsigned char a = table[src[i]], b = table[src[i + 1]];
        const unsigned char c = table[src[i + 2]], d = table[src[i + 3]];
        dst[i] = a;
        dst[i + 1] = b;
        dst[i + 2] = c;
        dst[i + 3] = d;
    }
    for (; i < n; ++i)
        dst[i] = table[src[i]];
}

void translateReversedPortable(const unsigned char* src, unsigned char* dst, size_t n,
                               const unsigned char* table) {
    const unsigned char* from = src + n; // one past the next source byte, walking back
    size_t i = 0;
    for (; i + 4 <= n; i += 4, from -= 4) {
        const unsigned char a = table[from[-1]], b = table[from[-2]];
        const unsigned char c = table[from[-3]], d = table[from[-4]];
        dst[i] = a;
        dst[i + 1] = b;
        dst[i + 2] = c;
        dst[i + 3] = d;
    }
    for (; i < n; ++i)
        dst[i] = table[*--from];
}

#ifdef PZ4_FRAME_IMAGE_X86

// The whole 256-byte table lives in four registers: two two-register byte
// permutes look up the low and the high half (by the low 7 bits), bit 7 picks.
// 64 pixels cost three instructions where a scalar loop spends 64 table loads.
#define PZ4_VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))

struct VbmiTable {
    __m512i t0, t1, t2, t3;
};

PZ4_VBMI inline __m512i lookupVbmi(const VbmiTable& t, __m512i v) {
    const __m512i low = _mm512_permutex2var_epi8(t.t0, v, t.t1);
    const __m512i high = _mm512_permutex2var_epi8(t.t2, v, t.t3);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(v), low, high);
}

// The zero-masking form with every lane selected: the plain intrinsic starts
// from an undefined register, which g++ 12 at -O2 reports as uninitialised.
PZ4_VBMI inline __m512i reverseBytes(__m512i order, __m512i v) {
    return _mm512_maskz_permutexvar_epi8(~__mmask64(0), order, v);
}

PZ4_VBMI void translateVbmi(const unsigned char* src, unsigned char* dst, size_t n,
                            const unsigned char* table, bool reversed) {
    const VbmiTable t{_mm512_loadu_si512(table), _mm512_loadu_si512(table + 64),
                      _mm512_loadu_si512(table + 128), _mm512_loadu_si512(table + 192)};
    // Lane j takes byte 63 - j.
    const __m512i reverse = _mm512_set_epi8(
        0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24,
        25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47,
        48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63);
    size_t i = 0;
    if (!reversed) {
        for (; i + 64 <= n; i += 64)
            _mm512_storeu_si512(dst + i, lookupVbmi(t, _mm512_loadu_si512(src + i)));
    } else {
        for (; i + 64 <= n; i += 64) {
            const __m512i v = _mm512_loadu_si512(src + n - 64 - i);
            _mm512_storeu_si512(dst + i, lookupVbmi(t, reverseBytes(reverse, v)));
        }
    }
    const size_t rest = n - i;
    if (rest == 0)
        return;
    // The last partial block touches only its own bytes (masked load and store).
    const __mmask64 mask = (uint64_t(1) << rest) - 1;
    if (!reversed) {
        const __m512i v = _mm512_maskz_loadu_epi8(mask, src + i);
        _mm512_mask_storeu_epi8(dst + i, mask, lookupVbmi(t, v));
    } else {
        // The first `rest` source bytes, reversed: lane j takes byte rest - 1 - j.
        const __m512i v = _mm512_maskz_loadu_epi8(mask, src);
        const __m512i order =
            _mm512_sub_epi8(reverse, _mm512_set1_epi8(static_cast<char>(64 - rest)));
        _mm512_mask_storeu_epi8(dst + i, mask, lookupVbmi(t, reverseBytes(order, v)));
    }
}

// Without byte permutes across a whole register: the low nibble looks up all
// sixteen 16-entry chunks of the table, then bits 4, 5, 6 and 7 pick among the
// sixteen results in a tree of blends (each blend reads bit 7 of its mask, so the
// bit wanted is shifted there). 32 pixels cost about 36 instructions: less than
// twice the scalar loop's speed, but the best a 16-byte shuffle allows.
#define PZ4_AVX2 __attribute__((target("avx2")))

struct Avx2Table {
    __m256i chunk[16]; // entries 16k..16k+15, in both 128-bit lanes
};

PZ4_AVX2 inline __m256i lookupAvx2(const Avx2Table& t, __m256i v) {
    const __m256i low = _mm256_and_si256(v, _mm256_set1_epi8(0x0F));
    __m256i r[16];
    for (size_t k = 0; k < 16; ++k)
        r[k] = _mm256_shuffle_epi8(t.chunk[k], low);
    // Shifting 16-bit lanes moves bit b of each byte to its bit 7 for b >= 4.
    const __m256i bit4 = _mm256_slli_epi16(v, 3);
    for (size_t k = 0; k < 8; ++k)
        r[k] = _mm256_blendv_epi8(r[2 * k], r[2 * k + 1], bit4);
    const __m256i bit5 = _mm256_slli_epi16(v, 2);
    for (size_t k = 0; k < 4; ++k)
        r[k] = _mm256_blendv_epi8(r[2 * k], r[2 * k + 1], bit5);
    const __m256i bit6 = _mm256_slli_epi16(v, 1);
    for (size_t k = 0; k < 2; ++k)
        r[k] = _mm256_blendv_epi8(r[2 * k], r[2 * k + 1], bit6);
    return _mm256_blendv_epi8(r[0], r[1], v);
}

PZ4_AVX2 void translateAvx2(const unsigned char* src, unsigned char* dst, size_t n,
                            const unsigned char* table, bool reversed) {
    Avx2Table t;
    for (size_t k = 0; k < 16; ++k)
        t.chunk[k] = _mm256_broadcastsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(table + 16 * k)));
    // Reverses the bytes of each lane; swapping the lanes completes the reversal.
    const __m256i reverse = _mm256_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0,
                                             15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        __m256i v;
        if (!reversed) {
            v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        } else {
            v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + n - 32 - i));
            v = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(v, reverse), 0x4E);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), lookupAvx2(t, v));
    }
    if (!reversed) {
        translatePortable(src + i, dst + i, n - i, table);
    } else {
        // The first n - i source bytes are what is left, reversed.
        translateReversedPortable(src, dst + i, n - i, table);
    }
}

bool haveVbmi() {
    static const bool have =
        __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi");
    return have;
}

bool haveAvx2() {
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}

#endif

} // namespace

void TranslateRow(const unsigned char* src, unsigned char* dst, size_t n,
                  const unsigned char* table, bool reversed, FrameImageKernel kernel) {
#ifdef PZ4_FRAME_IMAGE_X86
    if (kernel == FrameImageKernel::Best && haveVbmi()) {
        translateVbmi(src, dst, n, table, reversed);
        return;
    }
    if (kernel != FrameImageKernel::Portable && haveAvx2()) {
        translateAvx2(src, dst, n, table, reversed);
        return;
    }
#else
    (void)kernel;
#endif
    if (reversed)
        translateReversedPortable(src, dst, n, table);
    else
        translatePortable(src, dst, n, table);
}

FrameImageBuilder::FrameImageBuilder(const std::array<unsigned char, 256>& translation,
                                     FrameImageKernel kernel)
    : translation_(translation), kernel_(kernel) {}

void FrameImageBuilder::showTransparentAs(uint32_t argb) {
    showTransparency_ = true;
    transparentArgb_ = argb;
    lastColors_.reset();
}

unsigned char FrameImageBuilder::storedTransparent(unsigned char transparent) {
    std::array<bool, 256> taken{};
    for (size_t k = 0; k < 256; ++k)
        if (k != transparent)
            taken[translation_[k]] = true;
    if (!taken[translation_[transparent]])
        return translation_[transparent];
    // Another value shares its colour, so 256 values reach at most 255 others:
    // one is always free.
    size_t free = 0;
    while (taken[free])
        ++free;
    return static_cast<unsigned char>(free);
}

std::shared_ptr<const FrameImage::ColorTable>
FrameImageBuilder::colorsFor(const unsigned char* palette, int special) {
    if (lastColors_ && special == lastSpecial_ && (palette == nullptr) == lastWasNull_ &&
        (palette == nullptr || std::memcmp(palette, lastPalette_.data(), lastPalette_.size()) == 0))
        return lastColors_;
    auto colors = std::make_shared<FrameImage::ColorTable>();
    for (size_t k = 0; k < 256; ++k) {
        uint32_t rgb = 0;
        if (palette != nullptr)
            rgb = uint32_t(palette[3 * k]) << 16 | uint32_t(palette[3 * k + 1]) << 8 |
                  uint32_t(palette[3 * k + 2]);
        (*colors)[k] = 0xFF000000u | rgb;
    }
    if (special >= 0)
        (*colors)[static_cast<size_t>(special)] = transparentArgb_;
    lastSpecial_ = special;
    lastWasNull_ = palette == nullptr;
    if (palette != nullptr)
        std::memcpy(lastPalette_.data(), palette, lastPalette_.size());
    lastColors_ = std::move(colors);
    return lastColors_;
}

FrameImage FrameImageBuilder::build(const unsigned char* pixels, int32_t width, int32_t height,
                                    const unsigned char* palette, int32_t mirror,
                                    int32_t transparent) {
    FrameImage image;
    if (pixels == nullptr || width < 1 || height < 1)
        return image;
    const size_t w = static_cast<size_t>(width);
    const size_t h = static_cast<size_t>(height);
    const size_t stride = (w + 3) & ~size_t(3);
    if (h > std::numeric_limits<size_t>::max() / stride)
        return image;
    const bool reversed = mirror == 1 || mirror == 3;
    const bool flipped = mirror == 2 || mirror == 3;

    // The transparent pixels' own stored value, when they are shown apart; the
    // table changes only for translations that merge their colour with another's.
    const bool special = showTransparency_ && transparent >= 0 && transparent <= 255;
    std::array<unsigned char, 256> adjusted;
    const unsigned char* table = translation_.data();
    int stored = -1;
    if (special) {
        const auto t = static_cast<unsigned char>(transparent);
        stored = storedTransparent(t);
        if (stored != translation_[t]) {
            adjusted = translation_;
            adjusted[t] = static_cast<unsigned char>(stored);
            table = adjusted.data();
        }
    }

    // Every byte, padding included, is written below: no zero fill first.
    image.bits = std::make_unique_for_overwrite<unsigned char[]>(stride * h);
    for (size_t r = 0; r < h; ++r) {
        unsigned char* row = image.bits.get() + (flipped ? h - 1 - r : r) * stride;
        TranslateRow(pixels + r * w, row, w, table, reversed, kernel_);
        std::memset(row + w, 0, stride - w);
    }
    image.width = width;
    image.height = height;
    image.stride = stride;
    image.colors = colorsFor(palette, stored);
    image.seeThrough = special && (transparentArgb_ >> 24) == 0;
    return image;
}

FrameImage FrameImageBuilder::build(const cFrameList& frame, int32_t mirror) {
    return build(frame.pixels, frame.width, frame.height, frame.palette, mirror, frame.transparent);
}

FrameImage BuildFrameImage(const cFrameList& frame, const cTRNManager& translation,
                           int32_t mirror) {
    return FrameImageBuilder(translation.table).build(frame, mirror);
}
