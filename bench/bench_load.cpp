// Whole processes that open a file and lock every frame, against Pillow decoding the
// same file, all measured in the same run. Each side is a process of its own, timed by
// its CPU time (user and system, start-up and exit included), the best of five runs:
// pz4loadclient (LoadClient.cpp) dlopens the plug-in, loads, locks every frame,
// unloads and exits; /usr/bin/python3 imports Pillow, opens the file and loads every
// frame. One benchmark a file:
//
//   0 an 8-bit BMP of 4096x4096        3 an FLC of 300 frames of 320x200, every pixel
//   1 a PCX of 4096x4096                 changing each frame
//   2 a PNG of 4096x4096               4 a GIF of 900 frames of 640x480: a full first
//                                        frame, then a 16x16 block moving
//   5 a GIF of 300 full frames of 256x256 with detail and noise
//   6 a GIF of 300 frames of 64x64 sprites with tables of their own over a full first one
//
// Counters:
//   pz4_s          the client's CPU time
//   x_Pillow       pz4_s / Pillow's, frames not kept (aim: 1 or less)
//   x_Pillow_kept  pz4_s / Pillow's keeping a copy of every frame, as the plug-in does
//   x_read         pz4_s / the client reading the file into one buffer (aim for BMP: 1.5
//                  or less)
//   x_reverse      the client locking the frames last to first / first to last (aim: 2
//                  or less)
//   x_frame_bytes  anonymous resident memory grown from before the load to after the
//                  last lock / the bytes of the frames handed out (aim: 1.1 or less)
//   file_MiB       resident file-backed memory grown over the same span
//   x_baseline     pz4_s / the same with the plug-ins in the folder PZ4_BASELINE_PLUGINS,
//                  when set: an earlier build, for figures before and after a change
//   x_baseline_reverse  the same for locking last to first

#include "BenchKit.h"
#include "GifSamples.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace pz4bench;

constexpr int kSide = 4096;
constexpr int kFlcFrames = 300, kFlcWidth = 320, kFlcHeight = 200;

struct Sample {
    const char* name;
    const char* plugin;
    std::string path;
    bool frames = false; // more than one
};

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// One picture saved through a plug-in's SaveObject.
void savePicture(const char* plugin, const std::string& path) {
    uint32_t seed = 3;
    std::vector<uint8_t> pixels = gifsamples::framePixels(0, kSide, seed);
    pz4fmt::Palette colours = gifsamples::palette(0);
    std::string name = path;
    SAVE_FRAME record{nullptr, name.data(), pixels.data(), colours.data(), kSide, kSide, 256, 0};
    if (!pz4::plugin::truth(Plugin(pluginPath(plugin)).saveObject(&record)))
        throw std::runtime_error("cannot write " + path);
}

// Every pixel of every frame drawn anew.
void saveNoiseFlc(const std::string& path) {
    const size_t area = size_t{kFlcWidth} * kFlcHeight;
    std::vector<std::vector<uint8_t>> pixels(kFlcFrames, std::vector<uint8_t>(area));
    uint32_t seed = 9;
    for (auto& frame : pixels)
        for (uint8_t& p : frame) {
            seed = seed * 1664525u + 1013904223u;
            p = static_cast<uint8_t>(seed >> 24);
        }
    pz4fmt::Palette colours = gifsamples::palette(0);
    std::string name = path;
    std::vector<SAVE_FRAME> chain(kFlcFrames);
    for (size_t k = 0; k < chain.size(); ++k)
        chain[k] = SAVE_FRAME{k + 1 < chain.size() ? &chain[k + 1] : nullptr,
                              k == 0 ? name.data() : nullptr,
                              pixels[k].data(),
                              colours.data(),
                              kFlcWidth,
                              kFlcHeight,
                              256,
                              4};
    if (!pz4::plugin::truth(Plugin(pluginPath("pzflc.so")).saveAnim(chain.data())))
        throw std::runtime_error("cannot write " + path);
}

// Made once per run; removed at exit.
struct Samples {
    std::vector<Sample> all;
    std::string pillowScript, pillowKeptScript;
    Samples() {
        const auto path = [](const char* suffix) { return tempPath(suffix).string(); };
        all = {{"bmp 4096x4096", "pzbmp.so", path(".bmp")},
               {"pcx 4096x4096", "pzpcx.so", path(".pcx")},
               {"png 4096x4096", "pzpng.so", path(".png")},
               {"flc 300x320x200 noise", "pzflc.so", path(".flc"), true},
               {"gif 900x640x480 moving block", "pzgif.so", path("-recording.gif"), true},
               {"gif 300x256x256 detail", "pzgif.so", path("-detail.gif"), true},
               {"gif 300x256x256 sprites", "pzgif.so", path("-sprites.gif"), true}};
        savePicture("pzbmp.so", all[0].path);
        savePicture("pzpcx.so", all[1].path);
        savePicture("pzpng.so", all[2].path);
        saveNoiseFlc(all[3].path);
        writeBytes(all[4].path, gifsamples::recordingAnimation());
        writeBytes(all[5].path, gifsamples::writtenAnimation(false));
        writeBytes(all[6].path, gifsamples::spriteAnimation());
        pillowScript = writeScript("-pillow.py", "");
        pillowKeptScript = writeScript("-pillow-kept.py", "kept.append(im.copy())");
    }
    ~Samples() {
        std::error_code ec;
        for (const Sample& s : all)
            std::filesystem::remove(s.path, ec);
        std::filesystem::remove(pillowScript, ec);
        std::filesystem::remove(pillowKeptScript, ec);
    }
    static std::string writeScript(const char* suffix, const std::string& perFrame) {
        const std::string p = tempPath(suffix).string();
        std::ofstream(p) << "import sys\n"
                            "from PIL import Image\n"
                            "im = Image.open(sys.argv[1])\n"
                            "kept = []\n"
                            "for k in range(getattr(im, 'n_frames', 1)):\n"
                            "    im.seek(k)\n"
                            "    im.load()\n"
                            "    "
                         << (perFrame.empty() ? "pass" : perFrame) << "\n";
        return p;
    }
};

const Samples& samples() {
    static Samples s;
    return s;
}

struct ClientRun {
    double seconds = 0; // whole process, best of the runs
    long frames = 0;
    double frameBytes = 0, lockSeconds = 0, anonKiB = 0, fileKiB = 0;
};

ClientRun runClient(const std::string& plugin, const std::string& file, bool reverse, int runs) {
    std::vector<std::string> argv = {PZ4_LOAD_CLIENT, plugin, file};
    if (reverse)
        argv.push_back("reverse");
    std::string printed;
    ClientRun r;
    r.seconds = childSeconds(argv, runs, &printed);
    std::istringstream(printed) >> r.frames >> r.frameBytes >> r.lockSeconds >> r.anonKiB >>
        r.fileKiB;
    return r;
}

void BM_LoadAndLockEveryFrame(benchmark::State& state) {
    const Samples& all = samples();
    const Sample& s = all.all[static_cast<size_t>(state.range(0))];
    state.SetLabel(s.name);
    constexpr int kRuns = 5;
    for (auto _ : state) {
        const ClientRun ours = runClient(pluginPath(s.plugin), s.path, false, kRuns);
        if (ours.seconds <= 0 || ours.frames <= 0) {
            state.SkipWithError("the client cannot read the file");
            return;
        }
        state.SetIterationTime(ours.seconds);
        state.counters["pz4_s"] = ours.seconds;
        state.counters["frames"] = static_cast<double>(ours.frames);
        state.counters["x_frame_bytes"] = ours.anonKiB * 1024.0 / ours.frameBytes;
        state.counters["file_MiB"] = ours.fileKiB / 1024.0;
        const double read = childSeconds({PZ4_LOAD_CLIENT, "read", s.path}, kRuns);
        if (read > 0)
            state.counters["x_read"] = ours.seconds / read;
        const double pillow = childSeconds({"/usr/bin/python3", all.pillowScript, s.path}, kRuns);
        if (pillow > 0) {
            state.counters["pillow_s"] = pillow;
            state.counters["x_Pillow"] = ours.seconds / pillow;
        }
        const double kept = childSeconds({"/usr/bin/python3", all.pillowKeptScript, s.path}, 3);
        if (kept > 0)
            state.counters["x_Pillow_kept"] = ours.seconds / kept;
        double reverse = 0;
        if (s.frames) {
            reverse = runClient(pluginPath(s.plugin), s.path, true, kRuns).seconds;
            if (reverse > 0)
                state.counters["x_reverse"] = reverse / ours.seconds;
        }
        if (const char* baseline = std::getenv("PZ4_BASELINE_PLUGINS")) {
            const std::string plugin = std::string(baseline) + "/" + s.plugin;
            const ClientRun before = runClient(plugin, s.path, false, kRuns);
            if (before.seconds > 0)
                state.counters["x_baseline"] = ours.seconds / before.seconds;
            if (s.frames && reverse > 0) {
                const ClientRun backward = runClient(plugin, s.path, true, kRuns);
                if (backward.seconds > 0)
                    state.counters["x_baseline_reverse"] = reverse / backward.seconds;
            }
        }
    }
    const std::filesystem::path file(s.path);
    state.counters["file_KiB"] = static_cast<double>(std::filesystem::file_size(file)) / 1024.0;
}

BENCHMARK(BM_LoadAndLockEveryFrame)
    ->DenseRange(0, 6)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
