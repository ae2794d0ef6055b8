// The player window on the offscreen platform. Counters:
//   BM_PlayerStep      one step (tick, paint, copy) of a 400x300 frame whose screen
//                      pixmap is cached, against a bare QPainter draw of that same
//                      pixmap into a 400x300 image: x_bare_draw (aim: 1.5 or less)
//   BM_PlayerStepBackdrop  the same over frames with a transparent value, against
//                      opaque ones: x_opaque_step (aim: 1.0, under 1.3 with a checkerboard)
//   BM_PlayerMemory    a player of 1,000 frames of 128x128 after one full cycle
//                      (every pixmap made), the plug-in's buffers included:
//                      bytes_per_pixel (aim: 6 or less)
//   BM_PlayerStepOnion a step with the onion skin (modes 1, 2) against one without:
//                      x_plain_step (aim: 2 or less)
//   BM_PlayerPace      steps per second over 10 s of the real timer at speed
//                      10, 5 and 0, against 100, 1000/60 and 1000/110, and with the
//                      file's timing over delays of 2 and 20 (arg -1): x_expected
//                      (aim: within 5% of 1), and the process's CPU use while a
//                      64x64 animation plays: cpu_pct (aim at speed 10: under 5)

#include "BenchKit.h"
#include "context/ObjectManager.h"
#include "display/ui/AnimWin.h"
#include "frames/FrameList.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

using namespace pz4bench;

// The program's working directory holds pz.ini, which the object manager writes
// when it goes: run in a folder of our own.
struct Environment {
    WorkDir dir{"-player"};
    QApplication* app = nullptr;
    std::unique_ptr<cObjectManager> objects;

    Environment() {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "bench_player";
        static char* argv[] = {name, nullptr};
        app = new QApplication(argc, argv);
        objects = std::make_unique<cObjectManager>();
    }
    // The object manager writes pz.ini as it goes, before the folder is removed. The
    // application is left to the process's end, as in the viewer's benchmark: by the
    // time statics go, Qt's own globals are gone and destroying it would crash.
    ~Environment() { objects.reset(); }
};

Environment& env() {
    static Environment e;
    return e;
}

// Frames as a plug-in would hold them, with a palette of their own.
struct Frames {
    std::vector<std::vector<unsigned char>> pixels;
    std::vector<unsigned char> palette = std::vector<unsigned char>(pz4::plugin::kPaletteBytes, 90);

    Frames(int count, int width, int height) {
        for (int f = 0; f < count; ++f) {
            std::vector<unsigned char> px(static_cast<size_t>(width) * static_cast<size_t>(height));
            for (size_t i = 0; i < px.size(); ++i)
                px[i] = static_cast<unsigned char>((i * 7 + static_cast<size_t>(f) * 13) & 255);
            pixels.push_back(std::move(px));
        }
        for (int k = 0; k < 256; ++k)
            palette[static_cast<size_t>(3 * k)] = static_cast<unsigned char>(k);
    }

    // With `transparent`, every frame shows that pixel value as transparent.
    std::unique_ptr<cFrameList> chain(int width, int height, int transparent = -1) {
        cFrameList* first = nullptr;
        cFrameList* last = nullptr;
        for (size_t i = 0; i < pixels.size(); ++i) {
            last = new cFrameList(last, pixels[i].data(), palette.data(), width, height, 0,
                                  static_cast<int>(i), static_cast<int>(i % 2));
            last->transparent = transparent;
            if (first == nullptr)
                first = last;
        }
        return std::unique_ptr<cFrameList>(first);
    }
};

void pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void BM_PlayerStep(benchmark::State& state) {
    Environment& e = env();
    constexpr int kW = 400, kH = 300;
    Frames frames(2, kW, kH);
    auto* player = new TPz4AnimWin(nullptr, e.objects.get(), frames.chain(kW, kH));
    player->show();
    pump(50);
    // Both pictures drawn once, so both pixmaps are cached.
    player->Tick(TPz4AnimWin::TimerId);
    player->Tick(TPz4AnimWin::TimerId);

    const QPixmap cached = player->screenPixmap(0);
    QImage target(kW, kH, QImage::Format_RGB32);
    constexpr int kBareRuns = 2000;
    const double bare = bestSeconds(
                            [&] {
                                for (int i = 0; i < kBareRuns; ++i) {
                                    QPainter painter(&target);
                                    painter.drawPixmap(0, 0, cached);
                                }
                            },
                            5) /
                        kBareRuns;

    double total = 0;
    for (auto _ : state) {
        const double t0 = cpuSeconds();
        player->Tick(TPz4AnimWin::TimerId);
        total += cpuSeconds() - t0;
    }
    const double step = perIteration(state, total);
    state.counters["step_us"] = step * 1e6;
    state.counters["bare_draw_us"] = bare * 1e6;
    state.counters["x_bare_draw"] = step / bare;
    delete player;
}

// The CPU time of one step of a shown player over `chain`, the best of several
// runs of 400 (its pictures made in the first).
double secondsPerStep(Environment& e, std::unique_ptr<cFrameList> chain) {
    auto* player = new TPz4AnimWin(nullptr, e.objects.get(), std::move(chain));
    player->show();
    pump(50);
    constexpr int kSteps = 400;
    const double t = bestSeconds(
                         [&] {
                             for (int i = 0; i < kSteps; ++i)
                                 player->Tick(TPz4AnimWin::TimerId);
                         },
                         5) /
                     kSteps;
    delete player;
    return t;
}

// A step with the onion skin (the argument's mode) against a step without:
// x_plain_step (aim: at most 2).
void BM_PlayerStepOnion(benchmark::State& state) {
    Environment& e = env();
    constexpr int kW = 400, kH = 300;
    Frames frames(3, kW, kH);
    const double plain = secondsPerStep(e, frames.chain(kW, kH));
    double step = 0;
    for (auto _ : state) {
        e.objects->AnOnion = static_cast<int>(state.range(0));
        step = secondsPerStep(e, frames.chain(kW, kH));
        e.objects->AnOnion = 0;
    }
    state.counters["step_us"] = step * 1e6;
    state.counters["x_plain_step"] = step / plain;
}

// A step over frames with a transparent pixel value, over each backdrop (the
// argument), against a step over the same frames without: x_opaque_step (aim:
// 1.0 at the palette colour, under 1.3 with a checkerboard).
void BM_PlayerStepBackdrop(benchmark::State& state) {
    Environment& e = env();
    constexpr int kW = 400, kH = 300;
    Frames frames(2, kW, kH);
    const double opaque = secondsPerStep(e, frames.chain(kW, kH));
    double step = 0;
    for (auto _ : state) {
        e.objects->AnBack = static_cast<int>(state.range(0));
        step = secondsPerStep(e, frames.chain(kW, kH, 17));
        e.objects->AnBack = 0;
    }
    state.counters["step_us"] = step * 1e6;
    state.counters["x_opaque_step"] = step / opaque;
}

void BM_PlayerMemory(benchmark::State& state) {
    Environment& e = env();
    constexpr int kCount = 1000, kSide = 128;
    for (auto _ : state) {
        const size_t before = heapBytes();
        auto frames = std::make_unique<Frames>(kCount, kSide, kSide);
        auto* player = new TPz4AnimWin(nullptr, e.objects.get(), frames->chain(kSide, kSide));
        player->show();
        pump(20);
        for (int i = 0; i < kCount; ++i)
            player->Tick(TPz4AnimWin::TimerId);
        const size_t after = heapBytes();
        state.counters["bytes_per_pixel"] =
            static_cast<double>(after - before) / (double(kCount) * kSide * kSide);
        state.counters["pixmap_MiB"] = static_cast<double>(player->cachedPixmapBytes()) / 1048576.0;
        delete player;
        frames.reset();
    }
}

// The argument is the speed, or -1 for the file's own timing over frames of
// alternating delays of 2 and 20 hundredths (two steps every 0.22 s).
void BM_PlayerPace(benchmark::State& state) {
    Environment& e = env();
    const int speed = static_cast<int>(state.range(0));
    constexpr int kSide = 64, kSeconds = 10;
    Frames frames(8, kSide, kSide);
    for (auto _ : state) {
        std::unique_ptr<cFrameList> chain = frames.chain(kSide, kSide);
        int k = 0;
        for (cFrameList* node = chain.get(); node != nullptr; node = node->next.get())
            node->tag = k++ % 2 == 0 ? 2 : 20;
        e.objects->AnTiming = speed < 0 ? 1 : 0;
        auto* player = new TPz4AnimWin(nullptr, e.objects.get(), std::move(chain));
        e.objects->AnTiming = 0;
        player->show();
        pump(50);
        int steps = 0;
        QObject::connect(player, &TPz4AnimWin::frameShown, [&steps] { ++steps; });
        player->SetDelay(10 - speed);
        QElapsedTimer wall;
        const double cpu0 = cpuSeconds();
        wall.start();
        player->setTimer(TPz4AnimWin::TimerId, TPz4AnimWin::TimerPeriodMs);
        pump(kSeconds * 1000);
        const double seconds = static_cast<double>(wall.nsecsElapsed()) * 1e-9;
        const double cpu = cpuSeconds() - cpu0;
        const double expected = speed < 0 ? 2 / 0.22 : 1000.0 / (10.0 * (11 - speed));
        state.counters["steps_per_s"] = steps / seconds;
        state.counters["expected"] = expected;
        state.counters["x_expected"] = steps / seconds / expected;
        state.counters["cpu_pct"] = 100.0 * cpu / seconds;
        delete player;
    }
}

} // namespace

BENCHMARK(BM_PlayerStep)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlayerStepOnion)->Arg(1)->Arg(2)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlayerStepBackdrop)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlayerMemory)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlayerPace)
    ->Arg(10)
    ->Arg(5)
    ->Arg(0)
    ->Arg(-1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
