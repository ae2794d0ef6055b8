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
#include "GifSamples.h"

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
using namespace pz4bench::gifsamples;

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
