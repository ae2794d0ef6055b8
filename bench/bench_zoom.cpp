// Drawing frames zoomed, against the same drawing at zoom 1 in the same run, per
// screen pixel: a zoomed paint may cost at most twice what zoom 1 costs for each
// pixel it puts on the screen. Counters:
//   ns_per_px    CPU time per screen pixel written
//   x_zoom1      ns_per_px / the zoom 1 drawing's ns_per_px (aim: 2 or less)
// Cases: a strip of 100 x 100 frames filling a 600 x 100 area (the viewer's paint),
// and one 100 x 100 frame (one player step), each at zoom 1, 2, 4 and 8.

#include "platform/CrispImage.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <benchmark/benchmark.h>
#include <ctime>
#include <map>
#include <vector>

namespace {

constexpr int kSide = 100;
constexpr int kStripWidth = 600;

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

QImage frame(int seed) {
    QImage image(kSide, kSide, QImage::Format_Indexed8);
    image.setColorCount(256);
    for (int i = 0; i < 256; ++i)
        image.setColor(i, qRgb(i, (i * 3) & 255, 255 - i));
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            image.scanLine(y)[x] = static_cast<uchar>((x / 3 ^ y / 5) + seed);
    return image;
}

// ns per screen pixel of each case at zoom 1, by case name, filled as they run.
std::map<std::string, double>& zoom1() {
    static std::map<std::string, double> values;
    return values;
}

void report(benchmark::State& state, const std::string& name, int zoom, double seconds,
            int64_t pixels) {
    const double ns = seconds * 1e9 / static_cast<double>(pixels);
    state.counters["ns_per_px"] = ns;
    if (zoom == 1)
        zoom1()[name] = ns;
    const auto base = zoom1().find(name);
    if (base != zoom1().end() && base->second > 0)
        state.counters["x_zoom1"] = ns / base->second;
}

// The viewer's paint: frames side by side until the area is full, each drawn at
// zoom z from its ready screen picture.
void BM_ViewerStrip(benchmark::State& state) {
    const int zoom = static_cast<int>(state.range(0));
    std::vector<QImage> frames;
    for (int i = 0; i < 8; ++i)
        frames.push_back(frame(i).convertToFormat(QImage::Format_RGB32));
    QImage screen(kStripWidth, kSide * zoom, QImage::Format_RGB32);
    int64_t pixels = 0;
    const double start = cpuSeconds();
    for (auto _ : state) {
        QPainter p(&screen);
        int x = 0;
        for (size_t k = 0; x < kStripWidth; ++k) {
            DrawZoomed(p, QPoint(x, 0), frames[k % frames.size()], zoom);
            x += kSide * zoom;
        }
        pixels += int64_t{kStripWidth} * kSide * zoom;
        benchmark::ClobberMemory();
    }
    report(state, "strip", zoom, cpuSeconds() - start, pixels);
}

// One player step: one frame drawn at the window's corner.
void BM_PlayerStep(benchmark::State& state) {
    const int zoom = static_cast<int>(state.range(0));
    const QImage picture = frame(1).convertToFormat(QImage::Format_RGB32);
    QImage screen(kSide * zoom, kSide * zoom, QImage::Format_RGB32);
    int64_t pixels = 0;
    const double start = cpuSeconds();
    for (auto _ : state) {
        QPainter p(&screen);
        DrawZoomed(p, QPoint(0, 0), picture, zoom);
        pixels += int64_t{kSide} * kSide * zoom * zoom;
        benchmark::ClobberMemory();
    }
    report(state, "step", zoom, cpuSeconds() - start, pixels);
}

BENCHMARK(BM_ViewerStrip)->Arg(1)->Arg(2)->Arg(4)->Arg(8);
BENCHMARK(BM_PlayerStep)->Arg(1)->Arg(2)->Arg(4)->Arg(8);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
