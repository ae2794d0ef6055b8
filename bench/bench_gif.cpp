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

#include "GifCodec.h"
#include "pz4/PluginContract.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <gif_lib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <map>
#include <stdexcept>

namespace {

constexpr int kFrames = 300;
constexpr int kSide = 256;
constexpr int kSprite = 64;
constexpr int kRecordingFrames = 900;
constexpr int kRecordingWidth = 640;
constexpr int kRecordingHeight = 480;

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

// A screen recording: a full first frame, then a 16x16 block moving over it.
std::vector<uint8_t> recordingAnimation() {
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendBytes, &error);
    EGifSetGifVersion(gif, true);
    GifColorType colours[256];
    const pz4fmt::Palette p = palette(0);
    for (size_t i = 0; i < 256; ++i)
        colours[i] = {p[i * 3], p[i * 3 + 1], p[i * 3 + 2]};
    ColorMapObject* global = GifMakeMapObject(256, colours);
    EGifPutScreenDesc(gif, kRecordingWidth, kRecordingHeight, 8, 0, global);
    uint32_t seed = 11;
    for (int f = 0; f < kRecordingFrames; ++f) {
        const bool first = f == 0;
        const int width = first ? kRecordingWidth : 16, height = first ? kRecordingHeight : 16;
        GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 3, NO_TRANSPARENT_COLOR};
        GifByteType ext[4];
        EGifGCBToExtension(&gcb, ext);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
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
        for (int y = 0; y < height; ++y)
            EGifPutLine(gif, px.data() + static_cast<size_t>(y * width), width);
    }
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

    explicit Plugin(const char* path = PZ4_PLUGIN_DIR "/pzgif.so") {
        handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
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

// Load, lock every frame the plug-in reports in order, unload; the frames locked,
// or 0 when one could not be.
int loadAndLockAll(Plugin& plugin, const File& f) {
    std::string path = f.path;
    if (!pz4::plugin::truth(plugin.load(path.data())))
        return 0;
    const int count = plugin.count();
    for (int i = 0; i < count; ++i) {
        unsigned char *pixels = nullptr, *pal = nullptr;
        int w = 0, h = 0, colours = 0, tag = 0;
        if (!pz4::plugin::truth(plugin.lock(i, &pixels, &pal, &w, &h, &colours, &tag)))
            return 0;
        benchmark::DoNotOptimize(pixels[0]);
    }
    plugin.unload();
    return count;
}

Plugin& ours() {
    static Plugin plugin;
    return plugin;
}

// Pillow's CPU time to open the file and load every frame, best of three; 0 when
// Pillow is not installed.
double pillowSeconds(const File& f) {
    static std::map<std::string, double> measured;
    if (auto it = measured.find(f.path); it != measured.end())
        return it->second;
    const std::string script = "import sys, time\n"
                               "from PIL import Image\n"
                               "best = 1e30\n"
                               "for run in range(3):\n"
                               "    t = time.process_time()\n"
                               "    im = Image.open(sys.argv[1])\n"
                               "    for k in range(im.n_frames):\n"
                               "        im.seek(k)\n"
                               "        im.load()\n"
                               "    best = min(best, time.process_time() - t)\n"
                               "print(best)\n";
    const std::string scriptPath = f.path + ".py";
    std::ofstream(scriptPath) << script;
    double seconds = 0;
    if (FILE* pipe = popen(
            ("/usr/bin/python3 " + scriptPath + " " + f.path + " 2>/dev/null").c_str(), "r")) {
        char line[64] = {};
        if (std::fgets(line, sizeof line, pipe) != nullptr)
            seconds = std::atof(line);
        pclose(pipe);
    }
    std::error_code ec;
    std::filesystem::remove(scriptPath, ec);
    return measured[f.path] = seconds;
}

void BM_GifLoadAndLockEveryFrame(benchmark::State& state) {
    Plugin& plugin = ours();
    const File& f = file(static_cast<int>(state.range(0)));

    const double slurpSeconds = bestSeconds([&] { slurp(f.bytes); }, 5);
    std::vector<uint8_t> from(static_cast<size_t>(f.megapixels() * 1e6), 1), to(from.size());
    const double copySeconds = bestSeconds(
        [&] {
            std::memcpy(to.data(), from.data(), from.size());
            benchmark::ClobberMemory();
        },
        5);
    from = {};
    to = {};

    double total = 0;
    for (auto _ : state) {
        const double t0 = cpuSeconds();
        if (loadAndLockAll(plugin, f) != f.frames) {
            state.SkipWithError("the plug-in cannot read the whole file");
            break;
        }
        total += cpuSeconds() - t0;
    }
    const double per = total / static_cast<double>(std::max<int64_t>(1, state.iterations()));
    state.counters["ms_per_MP"] = per * 1e3 / f.megapixels();
    state.counters["x_DGifSlurp"] = per / slurpSeconds;
    state.counters["x_memcpy"] = per / copySeconds;
    state.counters["file_KiB"] = static_cast<double>(f.bytes.size()) / 1024.0;
    if (const double pillow = pillowSeconds(f); pillow > 0)
        state.counters["x_Pillow"] = per / pillow;
    if (const char* baselinePath = std::getenv("PZ4_BASELINE_PLUGIN")) {
        // Per frame: an earlier build may not have read every frame.
        static Plugin baseline(baselinePath);
        int frames = 0;
        const double before = bestSeconds([&] { frames = loadAndLockAll(baseline, f); }, 3);
        if (frames > 0) {
            state.counters["x_baseline"] = (per / f.frames) / (before / frames);
            state.counters["baseline_frames"] = frames;
        }
    }
}

// Heap in use, in bytes.
size_t heapInUse() {
    return mallinfo2().uordblks + mallinfo2().hblkhd;
}

void BM_GifOpenAndCount(benchmark::State& state) {
    Plugin& plugin = ours();
    const File& f = file(static_cast<int>(state.range(0)));
    std::string path = f.path;
    const double lockAll = bestSeconds([&] { loadAndLockAll(plugin, f); }, 3);

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
    const size_t before = heapInUse();
    if (pz4::plugin::truth(plugin.load(path.data()))) {
        const double grown = static_cast<double>(heapInUse()) - static_cast<double>(before);
        const double allowed =
            static_cast<double>(f.bytes.size()) + 2.0 * f.width * static_cast<double>(f.height);
        state.counters["x_file_and_two_screens"] = grown / allowed;
        plugin.unload();
    }
    const double per = total / static_cast<double>(std::max<int64_t>(1, state.iterations()));
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
