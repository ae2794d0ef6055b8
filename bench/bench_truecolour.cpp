// Truecolour pictures palettised, against Pillow measured in the same run.
//
// BM_OpenRgbaSprite: load and lock a 1024x1024 RGBA PNG of 200 colours through pzpng.
//   x_Pillow_open     time / Pillow opening and decoding it (aim: below 1)
//   x_Pillow_convert  time / Pillow opening it and converting it to a palette (aim: below 1)
// BM_QuantisePhoto: palettise a 1024x1024 photograph-like picture (far more than 256
// colours), against Pillow's convert("P", palette=ADAPTIVE) of the same picture.
//   x_Pillow          time / Pillow's (aim: below 1)
//   psnr_ours, psnr_Pillow  the error of each against the original, in dB (aim: ours
//                     no lower)
// BM_WebpAnimation: load and lock every frame of a 100-frame 256x256 animated WebP
// through pzwebp.
//   x_Pillow          time / Pillow opening it and loading every frame (aim: below 1)

#include "BenchKit.h"
#include "WebpCodec.h"
#include "common/Palettise.h"

#include <benchmark/benchmark.h>
#include <png.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace pz4bench;

constexpr int kSide = 1024;
constexpr int kFrames = 100;
constexpr int kFrameSide = 256;

// 200 colours in blocks, with see-through pixels: sprite art in a truecolour file.
std::vector<uint8_t> spriteRgba() {
    std::vector<uint8_t> rgba;
    rgba.reserve(size_t{kSide} * kSide * 4);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const int c = (x / 6 + y / 5 * 7) % 200;
            rgba.insert(rgba.end(),
                        {static_cast<uint8_t>(c * 5), static_cast<uint8_t>(255 - c),
                         static_cast<uint8_t>(c * 37), c % 9 == 0 ? uint8_t{0} : uint8_t{255}});
        }
    return rgba;
}

// Smooth gradients with fine noise, as a photograph has.
std::vector<uint8_t> photoRgba() {
    std::vector<uint8_t> rgba;
    rgba.reserve(size_t{kSide} * kSide * 4);
    uint32_t seed = 5;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int n = static_cast<int>(seed >> 28) - 8;
            const double r = 128 + 100 * std::sin(x / 97.0) * std::cos(y / 131.0);
            const double g = 128 + 90 * std::sin((x + y) / 173.0);
            const double b = 128 + 110 * std::cos(x / 61.0 - y / 89.0);
            for (double v : {r, g, b})
                rgba.push_back(static_cast<uint8_t>(std::clamp(static_cast<int>(v) + n, 0, 255)));
            rgba.push_back(255);
        }
    return rgba;
}

std::string writePng(const std::vector<uint8_t>& rgba, const std::string& suffix) {
    const std::string path = tempPath(suffix).string();
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kSide;
    image.height = kSide;
    image.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr))
        throw std::runtime_error("cannot write " + path);
    return path;
}

struct TempFile {
    std::string path;
    ~TempFile() {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
};

double psnr(const std::vector<uint8_t>& rgba, const pz4fmt::Frame& f) {
    double sum = 0;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const uint8_t* want = rgba.data() + 4 * (static_cast<size_t>(y) * kSide + x);
            const uint8_t* got =
                f.palette.data() + 3 * f.pixels[static_cast<size_t>(kSide - 1 - y) * kSide + x];
            for (int c = 0; c < 3; ++c)
                sum += (want[c] - got[c]) * (want[c] - got[c]);
        }
    return 10 * std::log10(255.0 * 255.0 * 3.0 * kSide * kSide / sum);
}

// Pillow's CPU time to convert the picture at `path` to 256 colours, and its PSNR.
std::pair<double, double> pillowQuantise(const std::string& path) {
    const std::string script = path + ".py";
    std::ofstream(script) << "import sys, time, math\n"
                             "from PIL import Image\n"
                             "im = Image.open(sys.argv[1]).convert('RGB')\n"
                             "best = 1e30\n"
                             "for run in range(3):\n"
                             "    t = time.process_time()\n"
                             "    p = im.convert('P', palette=Image.ADAPTIVE, colors=256)\n"
                             "    best = min(best, time.process_time() - t)\n"
                             "a, b = im.tobytes(), p.convert('RGB').tobytes()\n"
                             "err = sum((x - y) ** 2 for x, y in zip(a, b)) / len(a)\n"
                             "print(best, 10 * math.log10(255 * 255 / err))\n";
    double seconds = 0, quality = 0;
    if (FILE* pipe =
            popen(("/usr/bin/python3 " + script + " " + path + " 2>/dev/null").c_str(), "r")) {
        if (std::fscanf(pipe, "%lf %lf", &seconds, &quality) != 2)
            seconds = quality = 0;
        pclose(pipe);
    }
    std::error_code ec;
    std::filesystem::remove(script, ec);
    return {seconds, quality};
}

void BM_OpenRgbaSprite(benchmark::State& state) {
    static Plugin plugin(pluginPath("pzpng.so"));
    const TempFile file{writePng(spriteRgba(), "-sprite.png")};
    double total = 0;
    for (auto _ : state) {
        const double t0 = cpuSeconds();
        if (plugin.loadAndLockAll(file.path) != 1) {
            state.SkipWithError("pzpng cannot read the picture");
            break;
        }
        total += cpuSeconds() - t0;
    }
    const double per = perIteration(state, total);
    if (const double open = pillowSeconds(file.path, "im.load()"); open > 0)
        state.counters["x_Pillow_open"] = per / open;
    if (const double convert =
            pillowSeconds(file.path, "im.convert('P', palette=Image.ADAPTIVE, colors=256)");
        convert > 0)
        state.counters["x_Pillow_convert"] = per / convert;
}

void BM_QuantisePhoto(benchmark::State& state) {
    const std::vector<uint8_t> rgba = photoRgba();
    pz4fmt::Frame frame;
    double total = 0;
    for (auto _ : state) {
        pz4fmt::Failure why;
        const double t0 = cpuSeconds();
        if (!pz4fmt::palettise(rgba.data(), kSide, kSide, pz4fmt::Rgb{}, frame, why)) {
            state.SkipWithError(why.reason().c_str());
            break;
        }
        total += cpuSeconds() - t0;
    }
    const double per = perIteration(state, total);
    state.counters["psnr_ours"] = psnr(rgba, frame);
    const TempFile file{writePng(rgba, "-photo.png")};
    if (const auto [seconds, quality] = pillowQuantise(file.path); seconds > 0) {
        state.counters["x_Pillow"] = per / seconds;
        state.counters["psnr_Pillow"] = quality;
    }
}

void BM_WebpAnimation(benchmark::State& state) {
    static Plugin plugin(pluginPath("pzwebp.so"));
    std::vector<std::vector<uint8_t>> pixels;
    pz4fmt::Palette palette{};
    for (size_t i = 0; i < palette.size(); ++i)
        palette[i] = static_cast<uint8_t>(i * 7 / 3);
    std::vector<pz4fmt::SaveInput> frames;
    for (int k = 0; k < kFrames; ++k) {
        std::vector<uint8_t> px(size_t{kFrameSide} * kFrameSide);
        for (int y = 0; y < kFrameSide; ++y)
            for (int x = 0; x < kFrameSide; ++x)
                px[static_cast<size_t>(y) * kFrameSide + x] =
                    static_cast<uint8_t>(((x + 2 * k) / 8 ^ y / 8) & 63);
        pixels.push_back(std::move(px));
    }
    for (const auto& px : pixels)
        frames.push_back({"", px.data(), palette.data(), kFrameSide, kFrameSide, 64, 4});
    const std::vector<uint8_t> bytes = pz4webp::encodeWebpAnimation(frames);
    const TempFile file{tempPath("-anim.webp").string()};
    std::ofstream(file.path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    double total = 0;
    for (auto _ : state) {
        const double t0 = cpuSeconds();
        if (plugin.loadAndLockAll(file.path) != kFrames) {
            state.SkipWithError("pzwebp cannot read every frame");
            break;
        }
        total += cpuSeconds() - t0;
    }
    const double per = perIteration(state, total);
    state.counters["file_KiB"] = static_cast<double>(bytes.size()) / 1024.0;
    if (const double pillow = pillowSeconds(file.path, "im.load()"); pillow > 0)
        state.counters["x_Pillow"] = per / pillow;
}

BENCHMARK(BM_OpenRgbaSprite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuantisePhoto)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WebpAnimation)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
