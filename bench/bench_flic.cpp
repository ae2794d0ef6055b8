// Loading a 300-frame 320x200 FLC through the pzflc plug-in and locking every frame,
// against a memcpy of the same pixels, the pzgif plug-in on a GIF of the same frames
// and, where it is installed, Pillow's FLI reader on the same file, all measured in
// the same run. Counters:
//   ms_per_MP      load + lock CPU time per megapixel handed out (best run)
//   x_memcpy       load + lock time / memcpy time
//   gif_ms_per_MP  the same for pzgif on the GIF
//   x_gif          FLC time / GIF time (aim: below 1)
//   pillow_x       Pillow's time for the same frames' pixels / FLC time (aim: 2 or more;
//                  0 when Pillow is absent)
// The animation: a detailed background that stays, eight sprites moving over it and
// the palette shifting every 50 frames, so later frames are typical word deltas.

#include "BenchKit.h"
#include "common/FormatKit.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace pz4bench;

constexpr int kFrames = 300;
constexpr int kWidth = 320;
constexpr int kHeight = 200;
constexpr int kSprite = 24;
constexpr double kMegapixels = double(kFrames) * kWidth * kHeight / 1e6;

struct Animation {
    std::vector<std::vector<uint8_t>> pixels; // bottom-up
    std::vector<pz4fmt::Palette> palettes;
};

Animation makeAnimation() {
    Animation a;
    std::vector<uint8_t> background(static_cast<size_t>(kWidth) * kHeight);
    uint32_t seed = 1;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            seed = seed * 1664525u + 1013904223u;
            background[static_cast<size_t>(y * kWidth + x)] =
                static_cast<uint8_t>(((x / 8 + y / 8) % 2 == 0 ? 16 : 32) + ((seed >> 28) & 7));
        }
    for (int f = 0; f < kFrames; ++f) {
        std::vector<uint8_t> px = background;
        for (int s = 0; s < 8; ++s) {
            const int left = (s * 37 + f * (2 + s % 3)) % (kWidth - kSprite);
            const int top = (s * 23 + f * (1 + s % 2)) % (kHeight - kSprite);
            for (int y = 0; y < kSprite; ++y)
                for (int x = 0; x < kSprite; ++x)
                    if ((x - 12) * (x - 12) + (y - 12) * (y - 12) < 130)
                        px[static_cast<size_t>((top + y) * kWidth + left + x)] =
                            static_cast<uint8_t>(64 + s * 16 + (x + y + f) % 16);
        }
        a.pixels.push_back(std::move(px));
        pz4fmt::Palette p{};
        for (size_t i = 0; i < 256; ++i) {
            p[i * 3] = static_cast<uint8_t>(i * 4 + static_cast<size_t>(f / 50) * 9);
            p[i * 3 + 1] = static_cast<uint8_t>(255 - i);
            p[i * 3 + 2] = static_cast<uint8_t>(i * 7);
        }
        a.palettes.push_back(p);
    }
    return a;
}

// The animation saved through `plugin` to a file removed when the program ends.
struct SavedFile {
    std::string path;
    size_t bytes = 0;
    SavedFile(Animation& a, const Plugin& plugin, const char* ext) {
        path = tempPath(std::string(".") + ext).string();
        std::vector<SAVE_FRAME> chain(kFrames);
        for (int f = 0; f < kFrames; ++f) {
            const size_t k = static_cast<size_t>(f);
            chain[k] = SAVE_FRAME{f + 1 < kFrames ? &chain[k + 1] : nullptr,
                                  f == 0 ? path.data() : nullptr,
                                  a.pixels[k].data(),
                                  a.palettes[k].data(),
                                  kWidth,
                                  kHeight,
                                  256,
                                  4};
        }
        if (!pz4::plugin::truth(plugin.saveAnim(chain.data())))
            throw std::runtime_error(std::string("cannot save the ") + ext + " file");
        bytes = std::filesystem::file_size(path);
    }
    ~SavedFile() {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
};

void BM_FlcLoadAndLockEveryFrame(benchmark::State& state) {
    static Animation animation = makeAnimation();
    static Plugin flc(pluginPath("pzflc.so")), gif(pluginPath("pzgif.so"));
    static SavedFile flcFile(animation, flc, "flc"), gifFile(animation, gif, "gif");

    const double copySeconds = memcpySeconds(static_cast<size_t>(kFrames) * kWidth * kHeight, 5);
    const double gifSeconds = bestSeconds([&] { gif.loadAndLockAll(gifFile.path); }, 3);
    // Pillow's time to decode every frame and take its pixels, as the interoperability
    // test reads them (and as the plug-in hands out every frame as a buffer of its own).
    const double pillow = pillowSeconds(flcFile.path, "im.tobytes()");

    // The baselines are the best of a few runs; so is the time compared with them,
    // as other programs on a shared machine only ever add to a run's time.
    double best = 1e30;
    for (auto _ : state) {
        const double t0 = cpuSeconds();
        if (flc.loadAndLockAll(flcFile.path) != kFrames) {
            state.SkipWithError("the plug-in cannot read the file");
            break;
        }
        best = std::min(best, cpuSeconds() - t0);
    }
    state.counters["ms_per_MP"] = best * 1e3 / kMegapixels;
    state.counters["x_memcpy"] = best / copySeconds;
    state.counters["gif_ms_per_MP"] = gifSeconds * 1e3 / kMegapixels;
    state.counters["x_gif"] = best / gifSeconds;
    state.counters["pillow_x"] = pillow / best;
    state.counters["flc_KiB"] = static_cast<double>(flcFile.bytes) / 1024.0;
    state.counters["gif_KiB"] = static_cast<double>(gifFile.bytes) / 1024.0;
}

BENCHMARK(BM_FlcLoadAndLockEveryFrame)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
