// Frame to picture: a 1024x1024 frame through a translation table into a
// bottom-up 8-bit picture, against a memcpy of the same bytes in the same run.
// Counters:
//   GB_per_s    pixels converted per second
//   of_memcpy   speed as a fraction of memcpy's (aim: 0.25 or more)
// Arguments: kernel (0 the widest the processor has, 1 at most the 32-byte
// vector kernel, 2 the portable loop), mirror mode (0 or 3).

#include "BenchKit.h"
#include "display/FrameImage.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstring>
#include <random>
#include <vector>

namespace {

using namespace pz4bench;

constexpr int kSide = 1024;
constexpr size_t kBytes = size_t(kSide) * kSide;

struct Input {
    std::vector<unsigned char> pixels = std::vector<unsigned char>(kBytes);
    std::array<unsigned char, pz4::plugin::kPaletteBytes> palette{};
    std::array<unsigned char, 256> table{};
    Input() {
        std::mt19937 random(3);
        for (auto& p : pixels)
            p = static_cast<unsigned char>(random());
        for (auto& p : palette)
            p = static_cast<unsigned char>(random());
        // A translation that moves every value, so no byte is merely copied.
        for (size_t p = 0; p < table.size(); ++p)
            table[p] = static_cast<unsigned char>(255 - p);
    }
};

const Input& input() {
    static const Input in;
    return in;
}

void report(benchmark::State& state, double total) {
    static const double copySeconds = memcpySeconds(kBytes, 50);
    const double per = perIteration(state, total);
    state.counters["GB_per_s"] = static_cast<double>(kBytes) / per / 1e9;
    state.counters["of_memcpy"] = copySeconds / per;
}

FrameImageKernel kernelOf(const benchmark::State& state) {
    constexpr FrameImageKernel kernels[] = {FrameImageKernel::Best, FrameImageKernel::Avx2,
                                            FrameImageKernel::Portable};
    return kernels[state.range(0)];
}

// The whole picture: allocation, every row, padding and colour table.
void BM_BuildFrameImage(benchmark::State& state) {
    const Input& in = input();
    FrameImageBuilder builder(in.table, kernelOf(state));
    const auto mirror = static_cast<int32_t>(state.range(1));
    double total = 0;
    for (auto _ : state) {
        const double t0 = cpuSeconds();
        FrameImage image = builder.build(in.pixels.data(), kSide, kSide, in.palette.data(), mirror);
        benchmark::DoNotOptimize(image.bits[0]);
        total += cpuSeconds() - t0;
    }
    report(state, total);
}

// The per-pixel work alone, into a buffer made once.
void BM_TranslateRows(benchmark::State& state) {
    const Input& in = input();
    std::vector<unsigned char> out(kBytes);
    const bool reversed = state.range(1) != 0;
    double total = 0;
    for (auto _ : state) {
        const double t0 = cpuSeconds();
        for (size_t r = 0; r < size_t(kSide); ++r)
            TranslateRow(in.pixels.data() + r * kSide, out.data() + r * kSide, kSide,
                         in.table.data(), reversed, kernelOf(state));
        benchmark::ClobberMemory();
        total += cpuSeconds() - t0;
    }
    report(state, total);
}

void BM_Memcpy(benchmark::State& state) {
    std::vector<unsigned char> from(kBytes, 1), to(kBytes);
    double total = 0;
    for (auto _ : state) {
        const double t0 = cpuSeconds();
        std::memcpy(to.data(), from.data(), kBytes);
        benchmark::ClobberMemory();
        total += cpuSeconds() - t0;
    }
    report(state, total);
}

BENCHMARK(BM_BuildFrameImage)->ArgsProduct({{0, 1, 2}, {0, 3}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TranslateRows)->ArgsProduct({{0, 1, 2}, {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
