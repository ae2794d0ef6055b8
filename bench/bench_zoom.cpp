// Zoomed drawing against the same drawing at zoom 1, measured in the same run, per
// screen pixel (aim: a zoomed paint costs at most twice what zoom 1 costs for each
// pixel it puts on the screen). Offscreen platform, CPU time. Counters:
//   BM_ViewerPaint/<zoom>      one full paint of a 600-pixel-wide viewer scrolled
//                              into a strip of 100 x 100 frames (their screen
//                              pixmaps already made, as after the first paint)
//   BM_PlayerStep/<zoom>/<c>   one player step (tick, paint, copy) of a 100 x 100
//                              frame; c = 1 its screen pixmap cached, c = 0 made and
//                              zoomed at every step (past the cache bound)
//     ns_per_px   CPU time per screen pixel: the viewer's client area, the
//                 player's zoomed frame
//     x_zoom1     ns_per_px / the same case's ns_per_px at zoom 1

#include "BenchKit.h"
#include "context/ObjectManager.h"
#include "display/ui/AnimWin.h"
#include "display/ui/ViewWin.h"
#include "frames/FrameList.h"

#include <QApplication>
#include <QEventLoop>
#include <QScrollBar>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace pz4bench;

constexpr int kSide = 100;

// pz.ini is written where the program runs: a folder of our own. The application
// is left to the process's end, as in the other windows' benchmarks: by the time
// statics go, Qt's own globals are gone and destroying it would crash.
struct Environment {
    WorkDir dir{"-zoom"};
    QApplication* app = nullptr;

    Environment() {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "bench_zoom";
        static char* argv[] = {name, nullptr};
        app = new QApplication(argc, argv);
    }
};

Environment& env() {
    static Environment e;
    return e;
}

void pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// 100 x 100 frames with their own palette, in buffers kept as a plug-in keeps them.
struct Frames {
    std::vector<std::vector<unsigned char>> pixels;
    std::vector<unsigned char> palette = std::vector<unsigned char>(pz4::plugin::kPaletteBytes);

    explicit Frames(int count) {
        for (int f = 0; f < count; ++f) {
            std::vector<unsigned char> px(size_t{kSide} * kSide);
            for (size_t i = 0; i < px.size(); ++i)
                px[i] = static_cast<unsigned char>((i / kSide / 3 ^ i % kSide / 5) + f);
            pixels.push_back(std::move(px));
        }
        for (size_t k = 0; k < palette.size(); ++k)
            palette[k] = static_cast<unsigned char>(k * 7);
    }
    std::unique_ptr<cFrameList> chain() {
        cFrameList* first = nullptr;
        cFrameList* last = nullptr;
        for (size_t i = 0; i < pixels.size(); ++i) {
            last = new cFrameList(last, pixels[i].data(), palette.data(), kSide, kSide, 0,
                                  static_cast<int>(i), 0);
            if (first == nullptr)
                first = last;
        }
        return std::unique_ptr<cFrameList>(first);
    }
};

// ns per screen pixel at zoom 1 of each case, filled as the cases run (zoom 1 first).
std::map<std::string, double>& zoomOne() {
    static std::map<std::string, double> values;
    return values;
}

void report(benchmark::State& state, const std::string& name, int zoom, double seconds,
            double pixels) {
    const double ns = seconds * 1e9 / std::max(pixels, 1.0);
    state.counters["ns_per_px"] = ns;
    if (zoom == 1)
        zoomOne()[name] = ns;
    if (const auto base = zoomOne().find(name); base != zoomOne().end() && base->second > 0)
        state.counters["x_zoom1"] = ns / base->second;
}

void BM_ViewerPaint(benchmark::State& state) {
    env();
    const int zoom = static_cast<int>(state.range(0));
    cObjectManager objects;
    objects.ViZoom = zoom;
    Frames frames(40);
    auto window = std::make_unique<TPz4ViewWin>(nullptr, &objects, frames.chain());
    window->showNormal();
    pump(50);
    window->resize(600, window->height());
    auto* bar = window->findChild<QScrollBar*>(QString::number(TPz4ViewWin::ScrollBarId));
    bar->setValue(bar->maximum() / 2 + 37);
    window->repaint(); // makes the visible frames' pixmaps
    double seconds = 0;
    for (auto _ : state) {
        const double t0 = cpuSeconds();
        window->repaint();
        seconds += cpuSeconds() - t0;
    }
    const double pixels = double(window->width()) * window->height() *
                          static_cast<double>(std::max<int64_t>(1, state.iterations()));
    report(state, "viewer", zoom, seconds, pixels);
}

void BM_PlayerStep(benchmark::State& state) {
    env();
    const int zoom = static_cast<int>(state.range(0));
    const bool cached = state.range(1) != 0;
    cObjectManager objects;
    objects.AnZoom = zoom;
    Frames frames(2);
    auto* player = new TPz4AnimWin(nullptr, &objects, frames.chain());
    if (!cached)
        player->setPixmapBudget(0);
    player->show();
    pump(50);
    player->Tick(TPz4AnimWin::TimerId);
    player->Tick(TPz4AnimWin::TimerId);
    double seconds = 0;
    for (auto _ : state) {
        const double t0 = cpuSeconds();
        player->Tick(TPz4AnimWin::TimerId);
        seconds += cpuSeconds() - t0;
    }
    const double pixels = double(zoom * kSide) * (zoom * kSide) *
                          static_cast<double>(std::max<int64_t>(1, state.iterations()));
    report(state, cached ? "step cached" : "step made", zoom, seconds, pixels);
    delete player;
}

BENCHMARK(BM_ViewerPaint)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlayerStep)
    ->Args({1, 1})
    ->Args({2, 1})
    ->Args({4, 1})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({4, 0})
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
