// Animated GIFs through the pzgif plug-in, against baselines measured in the same run.
//
// BM_GifLoadAndLockEveryFrame: load, lock every frame in order, unload. Counters:
//   ms_per_MP     CPU time per megapixel handed out
//   x_DGifSlurp   time / giflib's own DGifSlurp of the same file (aim: 3 or less)
//   x_memcpy      time / a memcpy of the same pixels
//   x_Pillow      time / Pillow opening the file and loading every frame, where
//                 /usr/bin/python3 has Pillow (aim: below 1)
//   x_baseline    time a frame / the same with the plug-in named by PZ4_BASELINE_PLUGIN,
//                 when set: an earlier build, for figures before and after a change
// BM_GifOpenAndCount: load, count, unload. Counters:
//   x_lock_all    time / loading and locking every frame (aim: 0.1 or less)
//   x_file_and_two_screens  heap grown by the load / (file size + two screens of
//                 pixels) (aim: 1 or less)
//
// Files: 0 = 300 frames of 256x256 with one global table, 1 = the same with a local
// table on every frame, 2 = a full first frame, then 64x64 sprites with their own
// tables and transparency (every frame composed over earlier tables' colours),
// 3 = 900 frames of 640x480 made like a screen recording: a full first frame, then
// only a moving 16x16 block each frame.

#include "BenchKit.h"
#include "GifCodec.h"

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace pz4bench;

constexpr int kFrames = 300;
constexpr int kSide = 256;
constexpr int kSprite = 64;
constexpr int kRecordingFrames = 900;
constexpr int kRecordingWidth = 640;
constexpr int kRecordingHeight = 480;

// Pixels with enough detail that LZW has work to do: a pattern that shifts every
// frame plus a sprinkling of noise.
std::vector<uint8_t> framePixels(int frame, int side, uint32_t& seed) {
    std::vector<uint8_t> px(static_cast<size_t>(side) * static_cast<size_t>(side));
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = (seed >> 28) == 0 ? static_cast<int>(seed >> 20) & 31 : 0;
            px[static_cast<size_t>(y * side + x)] =
                static_cast<uint8_t>((((x + frame) / 4 ^ y / 4) + noise) & 63);
        }
    return px;
}

pz4fmt::Palette palette(int shift) {
    pz4fmt::Palette p{};
    for (size_t i = 0; i < 256; ++i) {
        p[i * 3] = static_cast<uint8_t>(i * 4 + static_cast<size_t>(shift));
        p[i * 3 + 1] = static_cast<uint8_t>(255 - i * 3);
        p[i * 3 + 2] = static_cast<uint8_t>(i * 7 + static_cast<size_t>(shift) * 3);
    }
    return p;
}

std::vector<uint8_t> writtenAnimation(bool localTables) {
    uint32_t seed = 1;
    std::vector<std::vector<uint8_t>> pixels;
    std::vector<pz4fmt::Palette> palettes;
    std::vector<pz4fmt::SaveInput> in;
    for (int f = 0; f < kFrames; ++f) {
        pixels.push_back(framePixels(f, kSide, seed));
        palettes.push_back(palette(localTables ? f : 0));
    }
    for (int f = 0; f < kFrames; ++f)
        in.push_back({"", pixels[static_cast<size_t>(f)].data(),
                      palettes[static_cast<size_t>(f)].data(), kSide, kSide, 64, 4});
    std::vector<uint8_t> out;
    if (!pz4gif::encodeGifAnimation(in, out))
        throw std::runtime_error("cannot write the animation");
    return out;
}

int appendBytes(GifFileType* gif, const GifByteType* data, int n) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

// A GIF89a written through giflib into `out`.
GifFileType* openWriter(std::vector<uint8_t>& out) {
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendBytes, &error);
    EGifSetGifVersion(gif, true);
    return gif;
}

ColorMapObject* colourMapOf(const pz4fmt::Palette& p) {
    GifColorType c[256];
    for (size_t i = 0; i < 256; ++i)
        c[i] = {p[i * 3], p[i * 3 + 1], p[i * 3 + 2]};
    return GifMakeMapObject(256, c);
}

// The graphic control block of the next image: its delay and transparent index.
void putControl(GifFileType* gif, int delay, int transparent) {
    GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, delay, transparent};
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
}

void putRows(GifFileType* gif, std::vector<uint8_t>& px, int width, int height) {
    for (int y = 0; y < height; ++y)
        EGifPutLine(gif, px.data() + static_cast<size_t>(y * width), width);
}

// Sprites moving over a background, each in its own rectangle with its own table.
std::vector<uint8_t> spriteAnimation() {
    std::vector<uint8_t> out;
    GifFileType* gif = openWriter(out);
    ColorMapObject* global = colourMapOf(palette(0));
    EGifPutScreenDesc(gif, kSide, kSide, 8, 0, global);
    uint32_t seed = 7;
    for (int f = 0; f < kFrames; ++f) {
        const bool first = f == 0;
        const int side = first ? kSide : kSprite;
        putControl(gif, 4, first ? NO_TRANSPARENT_COLOR : 0);
        ColorMapObject* local = first ? nullptr : colourMapOf(palette(f));
        const int left = first ? 0 : (f * 13) % (kSide - kSprite);
        const int top = first ? 0 : (f * 29) % (kSide - kSprite);
        if (local == nullptr && gif->Image.ColorMap != nullptr) {
            GifFreeMapObject(gif->Image.ColorMap);
            gif->Image.ColorMap = nullptr;
        }
        EGifPutImageDesc(gif, left, top, side, side, false, local);
        std::vector<uint8_t> px = framePixels(f, side, seed);
        putRows(gif, px, side, side);
        if (local != nullptr)
            GifFreeMapObject(local);
    }
    int error = 0;
    EGifCloseFile(gif, &error);
    GifFreeMapObject(global);
    return out;
}

// A screen recording: a full first frame, then a 16x16 block moving over it.
std::vector<uint8_t> recordingAnimation() {
    std::vector<uint8_t> out;
    GifFileType* gif = openWriter(out);
    ColorMapObject* global = colourMapOf(palette(0));
    EGifPutScreenDesc(gif, kRecordingWidth, kRecordingHeight, 8, 0, global);
    uint32_t seed = 11;
    for (int f = 0; f < kRecordingFrames; ++f) {
        const bool first = f == 0;
        const int width = first ? kRecordingWidth : 16, height = first ? kRecordingHeight : 16;
        putControl(gif, 3, NO_TRANSPARENT_COLOR);
        const int left = first ? 0 : (f * 7) % (kRecordingWidth - 16);
        const int top = first ? 0 : (f * 5) % (kRecordingHeight - 16);
        EGifPutImageDesc(gif, left, top, width, height, false, nullptr);
        std::vector<uint8_t> px(static_cast<size_t>(width) * static_cast<size_t>(height));
        if (first) {
            // The top 480 rows of a 640x640 picture.
            px = framePixels(0, kRecordingWidth, seed);
            px.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
        } else {
            std::fill(px.begin(), px.end(), static_cast<uint8_t>(1 + f % 60));
        }
        putRows(gif, px, width, height);
    }
    int error = 0;
    EGifCloseFile(gif, &error);
    GifFreeMapObject(global);
    return out;
}

struct File {
    std::vector<uint8_t> bytes;
    std::string path;
    int frames = kFrames, width = kSide, height = kSide;
    double megapixels() const { return double(frames) * width * height / 1e6; }
};

// Generated once per run; removed at exit.
struct Files {
    std::map<int, File> byKind;
    ~Files() {
        std::error_code ec;
        for (const auto& [kind, f] : byKind)
            std::filesystem::remove(f.path, ec);
    }
};

const File& file(int kind) {
    static Files all;
    auto& files = all.byKind;
    auto it = files.find(kind);
    if (it != files.end())
        return it->second;
    File f;
    if (kind == 3) {
        f.bytes = recordingAnimation();
        f.frames = kRecordingFrames;
        f.width = kRecordingWidth;
        f.height = kRecordingHeight;
    } else {
        f.bytes = kind == 2 ? spriteAnimation() : writtenAnimation(kind == 1);
    }
    std::string suffix = "-";
    suffix.append(std::to_string(kind)).append(".gif");
    f.path = tempPath(suffix).string();
    std::ofstream(f.path, std::ios::binary)
        .write(reinterpret_cast<const char*>(f.bytes.data()),
               static_cast<std::streamsize>(f.bytes.size()));
    return files.emplace(kind, std::move(f)).first->second;
}

struct MemoryReader {
    const std::vector<uint8_t>* bytes;
    size_t pos;
};

int readMemory(GifFileType* gif, GifByteType* out, int n) {
    auto* r = static_cast<MemoryReader*>(gif->UserData);
    const size_t k = std::min(static_cast<size_t>(n), r->bytes->size() - r->pos);
    std::memcpy(out, r->bytes->data() + r->pos, k);
    r->pos += k;
    return static_cast<int>(k);
}

void slurp(const std::vector<uint8_t>& bytes) {
    MemoryReader reader{&bytes, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, readMemory, &error);
    if (gif == nullptr || DGifSlurp(gif) == GIF_ERROR)
        throw std::runtime_error("DGifSlurp failed");
    benchmark::DoNotOptimize(gif->SavedImages[gif->ImageCount - 1].RasterBits[0]);
    DGifCloseFile(gif, &error);
}

Plugin& ours() {
    static Plugin plugin(pluginPath("pzgif.so"));
    return plugin;
}

void BM_GifLoadAndLockEveryFrame(benchmark::State& state) {
    Plugin& plugin = ours();
    const File& f = file(static_cast<int>(state.range(0)));

    const double slurpSeconds = bestSeconds([&] { slurp(f.bytes); }, 5);
    const double copySeconds = memcpySeconds(static_cast<size_t>(f.megapixels() * 1e6), 5);

    double total = 0;
    for (auto _ : state) {
        const double t0 = cpuSeconds();
        if (plugin.loadAndLockAll(f.path) != f.frames) {
            state.SkipWithError("the plug-in cannot read the whole file");
            break;
        }
        total += cpuSeconds() - t0;
    }
    const double per = perIteration(state, total);
    state.counters["ms_per_MP"] = per * 1e3 / f.megapixels();
    state.counters["x_DGifSlurp"] = per / slurpSeconds;
    state.counters["x_memcpy"] = per / copySeconds;
    state.counters["file_KiB"] = static_cast<double>(f.bytes.size()) / 1024.0;
    // Pillow opening the file and loading every frame.
    if (const double pillow = pillowSeconds(f.path, "im.load()"); pillow > 0)
        state.counters["x_Pillow"] = per / pillow;
    if (const char* baselinePath = std::getenv("PZ4_BASELINE_PLUGIN")) {
        // Per frame: an earlier build may not have read every frame.
        static Plugin baseline(baselinePath);
        int frames = 0;
        const double before = bestSeconds([&] { frames = baseline.loadAndLockAll(f.path); }, 3);
        if (frames > 0) {
            state.counters["x_baseline"] = (per / f.frames) / (before / frames);
            state.counters["baseline_frames"] = frames;
        }
    }
}

void BM_GifOpenAndCount(benchmark::State& state) {
    Plugin& plugin = ours();
    const File& f = file(static_cast<int>(state.range(0)));
    std::string path = f.path;
    const double lockAll = bestSeconds([&] { plugin.loadAndLockAll(f.path); }, 3);

    double total = 0;
    for (auto _ : state) {
        const double t0 = cpuSeconds();
        if (!pz4::plugin::truth(plugin.load(path.data())) || plugin.count() != f.frames) {
            state.SkipWithError("the plug-in cannot read the file");
            break;
        }
        plugin.unload();
        total += cpuSeconds() - t0;
    }
    const size_t before = heapBytes();
    if (pz4::plugin::truth(plugin.load(path.data()))) {
        const double grown = static_cast<double>(heapBytes()) - static_cast<double>(before);
        const double allowed =
            static_cast<double>(f.bytes.size()) + 2.0 * f.width * static_cast<double>(f.height);
        state.counters["x_file_and_two_screens"] = grown / allowed;
        plugin.unload();
    }
    const double per = perIteration(state, total);
    state.counters["x_lock_all"] = per / lockAll;
}

BENCHMARK(BM_GifLoadAndLockEveryFrame)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Arg(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GifOpenAndCount)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
