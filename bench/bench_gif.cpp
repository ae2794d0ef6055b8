// Loading a 300-frame 256x256 animated GIF through the pzgif plug-in and locking
// every frame, against giflib's own DGifSlurp of the same file and a memcpy of the
// same pixels, measured in the same run. Counters:
//   ms_per_MP     load + lock CPU time per megapixel handed out
//   x_DGifSlurp   load + lock time / DGifSlurp time (aim: 3 or less)
//   x_memcpy      load + lock time / memcpy time
// Files: 0 = one global table, 1 = a local table on every frame, 2 = a full first
// frame, then 64x64 sprites with their own tables and transparency (every frame
// composed over earlier tables' colours).

#include "GifCodec.h"
#include "pz4/PluginContract.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <gif_lib.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>

namespace {

constexpr int kFrames = 300;
constexpr int kSide = 256;
constexpr int kSprite = 64;
constexpr double kMegapixels = double(kFrames) * kSide * kSide / 1e6;

// Process CPU time: the machine these run on is shared, and wall time would
// charge other programs' work to whichever side happened to run beside it.
double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

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

// Sprites moving over a background, each in its own rectangle with its own table.
std::vector<uint8_t> spriteAnimation() {
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendBytes, &error);
    EGifSetGifVersion(gif, true);
    auto mapOf = [](const pz4fmt::Palette& p) {
        GifColorType c[256];
        for (size_t i = 0; i < 256; ++i)
            c[i] = {p[i * 3], p[i * 3 + 1], p[i * 3 + 2]};
        return GifMakeMapObject(256, c);
    };
    ColorMapObject* global = mapOf(palette(0));
    EGifPutScreenDesc(gif, kSide, kSide, 8, 0, global);
    uint32_t seed = 7;
    for (int f = 0; f < kFrames; ++f) {
        const bool first = f == 0;
        const int side = first ? kSide : kSprite;
        GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 4, first ? NO_TRANSPARENT_COLOR : 0};
        GifByteType ext[4];
        EGifGCBToExtension(&gcb, ext);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
        ColorMapObject* local = first ? nullptr : mapOf(palette(f));
        const int left = first ? 0 : (f * 13) % (kSide - kSprite);
        const int top = first ? 0 : (f * 29) % (kSide - kSprite);
        if (local == nullptr && gif->Image.ColorMap != nullptr) {
            GifFreeMapObject(gif->Image.ColorMap);
            gif->Image.ColorMap = nullptr;
        }
        EGifPutImageDesc(gif, left, top, side, side, false, local);
        std::vector<uint8_t> px = framePixels(f, side, seed);
        for (int y = 0; y < side; ++y)
            EGifPutLine(gif, px.data() + static_cast<size_t>(y * side), side);
        if (local != nullptr)
            GifFreeMapObject(local);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(global);
    return out;
}

struct File {
    std::vector<uint8_t> bytes;
    std::string path;
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
    f.bytes = kind == 2 ? spriteAnimation() : writtenAnimation(kind == 1);
    f.path = (std::filesystem::temp_directory_path() /
              ("pz4-bench-" + std::to_string(getpid()) + "-" + std::to_string(kind) + ".gif"))
                 .string();
    std::ofstream(f.path, std::ios::binary)
        .write(reinterpret_cast<const char*>(f.bytes.data()),
               static_cast<std::streamsize>(f.bytes.size()));
    return files.emplace(kind, std::move(f)).first->second;
}

struct Plugin {
    void* handle = nullptr;
    pz4::plugin::LoadObjectFn load = nullptr;
    pz4::plugin::UnloadObjectFn unload = nullptr;
    pz4::plugin::GetNumberOfFramesFn count = nullptr;
    pz4::plugin::LockFrameFn lock = nullptr;

    Plugin() {
        handle = dlopen(PZ4_PLUGIN_DIR "/pzgif.so", RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr)
            throw std::runtime_error(dlerror());
        load = reinterpret_cast<pz4::plugin::LoadObjectFn>(dlsym(handle, "LoadObject"));
        unload = reinterpret_cast<pz4::plugin::UnloadObjectFn>(dlsym(handle, "UnloadObject"));
        count =
            reinterpret_cast<pz4::plugin::GetNumberOfFramesFn>(dlsym(handle, "GetNumberOfFrames"));
        lock = reinterpret_cast<pz4::plugin::LockFrameFn>(dlsym(handle, "LockFrame"));
    }
};

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

template <class F> double bestSeconds(F&& f, int runs) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const double t0 = cpuSeconds();
        f();
        best = std::min(best, cpuSeconds() - t0);
    }
    return best;
}

void BM_GifLoadAndLockEveryFrame(benchmark::State& state) {
    static Plugin plugin;
    const File& f = file(static_cast<int>(state.range(0)));
    std::string path = f.path;

    const double slurpSeconds = bestSeconds([&] { slurp(f.bytes); }, 5);
    std::vector<uint8_t> from(static_cast<size_t>(kFrames) * kSide * kSide, 1), to(from.size());
    const double copySeconds = bestSeconds(
        [&] {
            std::memcpy(to.data(), from.data(), from.size());
            benchmark::ClobberMemory();
        },
        5);

    double total = 0;
    for (auto _ : state) {
        const double t0 = cpuSeconds();
        if (!pz4::plugin::truth(plugin.load(path.data())) || plugin.count() != kFrames) {
            state.SkipWithError("the plug-in cannot read the file");
            break;
        }
        for (int i = 0; i < kFrames; ++i) {
            unsigned char *pixels = nullptr, *pal = nullptr;
            int w = 0, h = 0, colours = 0, tag = 0;
            plugin.lock(i, &pixels, &pal, &w, &h, &colours, &tag);
            benchmark::DoNotOptimize(pixels[0]);
        }
        plugin.unload();
        total += cpuSeconds() - t0;
    }
    const double per = total / static_cast<double>(std::max<int64_t>(1, state.iterations()));
    state.counters["ms_per_MP"] = per * 1e3 / kMegapixels;
    state.counters["x_DGifSlurp"] = per / slurpSeconds;
    state.counters["x_memcpy"] = per / copySeconds;
    state.counters["file_KiB"] = static_cast<double>(f.bytes.size()) / 1024.0;
}

BENCHMARK(BM_GifLoadAndLockEveryFrame)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
