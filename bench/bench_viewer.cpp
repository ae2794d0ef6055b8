// The viewer, on the offscreen platform. Counters:
//   BM_PaintMiddle/<n>     one full paint of a 600-wide viewer scrolled to the
//                          middle of n 64x64 frames (pixmaps already made)
//     us_per_paint, x_10_frames (this paint against the 10-frame paint measured
//     in the same run; aim: 1.5 or less at 10,000 frames)
//   BM_OpenViewer          View pressed on 1,000 selected 64x64 frames of a GIF
//                          (pzgif) until the viewer's first paint is done
//     ms_open (aim: under 100)
//   BM_ViewerMemory        heap taken by a painted viewer of 10,000 64x64 frames
//     bytes_per_pixel (everything but the screen pixmaps; aim: 1.2 or less),
//     pixmap_MiB (the pixmap cache, bounded by FramePixmapCache::kBoundBytes)

#include "BenchKit.h"
#include "GifCodec.h"
#include "app/MainDlg.h"
#include "app/Pz4App.h"
#include "app/SDIDecFrame.h"
#include "context/ObjectManager.h"
#include "display/ui/FramePixmapCache.h"
#include "display/ui/ViewManager.h"
#include "display/ui/ViewWin.h"
#include "frames/FrameList.h"
#include "frames/ui/ListDlg.h"
#include "platform/ScriptedPrompts.h"

#include <QCoreApplication>
#include <QListView>
#include <QScrollBar>
#include <QWindow>
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

using namespace pz4bench;

constexpr int kSide = 64;
constexpr size_t kFramePixels = size_t(kSide) * kSide;

// A window paints only once the window system has exposed it.
void waitExposed(QWidget& window) {
    for (int i = 0; i < 1000 && !(window.windowHandle() && window.windowHandle()->isExposed()); ++i)
        QCoreApplication::processEvents();
}

void runDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TPz4App& app() {
    static int argc = 1;
    static char name[] = "bench_viewer";
    static char* argv[] = {name, nullptr};
    static TPz4App* instance = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new TPz4App(argc, argv);
    }();
    return *instance;
}

// n 64x64 frames with their own palettes, in buffers the caller keeps, as a
// plug-in's would be.
struct Frames {
    std::vector<std::vector<unsigned char>> pixels;
    std::array<unsigned char, pz4::plugin::kPaletteBytes> palette{};

    explicit Frames(size_t n) : pixels(n) {
        for (size_t i = 0; i < n; ++i) {
            pixels[i].resize(kFramePixels);
            for (size_t p = 0; p < kFramePixels; ++p)
                pixels[i][p] = static_cast<unsigned char>((p / kSide + p % kSide + i) & 0xFF);
        }
        for (size_t k = 0; k < palette.size(); ++k)
            palette[k] = static_cast<unsigned char>(k * 5);
    }
    // With `transparent`, every frame shows that pixel value as transparent.
    std::unique_ptr<cFrameList> chain(int transparent = -1) {
        std::unique_ptr<cFrameList> first;
        cFrameList* last = nullptr;
        for (size_t i = 0; i < pixels.size(); ++i) {
            last = new cFrameList(last, pixels[i].data(), palette.data(), kSide, kSide, 0,
                                  int32_t(i), 0);
            last->transparent = transparent;
            if (!first)
                first.reset(last);
        }
        return first;
    }
};

// A shown viewer of `n` frames, its outer width 600, scrolled to the middle.
std::unique_ptr<TPz4ViewWin> middleViewer(cObjectManager& om, Frames& frames,
                                          int transparent = -1) {
    auto window = std::make_unique<TPz4ViewWin>(nullptr, &om, frames.chain(transparent));
    window->showNormal();
    waitExposed(*window);
    auto* bar = window->findChild<QScrollBar*>(QString::number(TPz4ViewWin::ScrollBarId));
    bar->setValue(bar->maximum() / 2);
    window->repaint();
    return window;
}

double secondsPerPaint(TPz4ViewWin& window, int paints) {
    return bestSeconds(
               [&] {
                   for (int i = 0; i < paints; ++i)
                       window.repaint();
               },
               5) /
           paints;
}

// Repaints `window` for the benchmark's iterations; its time a paint, and that
// against `baseline` as the counter `ratio`.
void measurePaints(benchmark::State& state, TPz4ViewWin& window, double baseline,
                   const char* ratio) {
    double total = 0;
    for (auto _ : state) {
        const double t0 = cpuSeconds();
        window.repaint();
        total += cpuSeconds() - t0;
    }
    const double per = perIteration(state, total);
    state.counters["us_per_paint"] = per * 1e6;
    state.counters[ratio] = per / baseline;
}

void BM_PaintMiddle(benchmark::State& state) {
    app();
    WorkDir dir("-viewer");
    cObjectManager om;
    Frames tenFrames(10), frames(static_cast<size_t>(state.range(0)));
    const double baseline = secondsPerPaint(*middleViewer(om, tenFrames), 200);
    measurePaints(state, *middleViewer(om, frames), baseline, "x_10_frames");
}

// Ten frames in which a pixel value in 256 is transparent, painted over each
// backdrop, against the same frames without transparency: x_opaque (aim: 1.0 at
// the palette colour, under 1.3 with a checkerboard).
void BM_PaintBackdrop(benchmark::State& state) {
    app();
    WorkDir dir("-backdrop");
    cObjectManager om;
    Frames frames(10);
    const double opaque = secondsPerPaint(*middleViewer(om, frames), 200);
    om.ViBack = static_cast<int>(state.range(0));
    measurePaints(state, *middleViewer(om, frames, 17), opaque, "x_opaque");
}

// 1,000 64x64 frames, every one with its own table, as one GIF animation.
std::vector<uint8_t> gifOf1000Frames() {
    Frames frames(1000);
    std::vector<pz4fmt::SaveInput> in;
    for (const auto& px : frames.pixels)
        in.push_back({"", px.data(), frames.palette.data(), kSide, kSide, 256, 4});
    std::vector<uint8_t> out;
    if (!pz4gif::encodeGifAnimation(in, out))
        throw std::runtime_error("cannot write the animation");
    return out;
}

void BM_OpenViewer(benchmark::State& state) {
    app();
    WorkDir dir("-viewer");
    std::filesystem::copy_file(PZ4_PLUGIN_DIR "/pzgif.so", dir.dir / "pzgif.so");
    {
        const std::vector<uint8_t> gif = gifOf1000Frames();
        std::FILE* f = std::fopen("walk.gif", "wb");
        std::fwrite(gif.data(), 1, gif.size(), f);
        std::fclose(f);
    }
    auto prompts = std::make_unique<ScriptedPrompts>();
    ScriptedPrompts* script = prompts.get();
    auto frame = std::make_unique<TSDIDecFrame>(std::move(prompts));
    TPz4App::ShowNormalised(frame.get());
    script->answer((dir.dir / "walk.gif").string());
    TPz4MainDlg* dlg = frame->client();
    dlg->CmLoad();
    if (!dlg->listDlg() || dlg->objectManager()->frameCount != 1000) {
        state.SkipWithError("pzgif did not load the animation");
        return;
    }
    auto* list = dlg->listDlg()->findChild<QListView*>(QString::number(TPz4ListDlg::ListId));
    list->selectAll();

    double total = 0;
    for (auto _ : state) {
        const double t0 = cpuSeconds();
        dlg->CmView();
        TPz4ViewWin* window = dlg->viewManager() ? dlg->viewManager()->window() : nullptr;
        if (!window) {
            state.SkipWithError("no viewer opened");
            break;
        }
        waitExposed(*window);
        window->repaint();
        total += cpuSeconds() - t0;
        window->Close();
        runDeferredDeletes();
    }
    const double per = perIteration(state, total);
    state.counters["ms_open"] = per * 1e3;
    frame.reset();
    runDeferredDeletes();
}

void BM_ViewerMemory(benchmark::State& state) {
    app();
    WorkDir dir("-viewer");
    cObjectManager om;
    const size_t n = 10'000;
    Frames frames(n);
    for (auto _ : state) {
        const size_t before = mallinfo2().uordblks;
        auto window = middleViewer(om, frames);
        // Scrolled through to the end: the pixmap cache fills up to its bound.
        auto* bar = window->findChild<QScrollBar*>(QString::number(TPz4ViewWin::ScrollBarId));
        for (int v = 0; v <= bar->maximum(); v += 600) {
            bar->setValue(v);
            window->repaint();
        }
        const double taken = static_cast<double>(mallinfo2().uordblks - before);
        const double pixmaps = static_cast<double>(window->pixmapCache().bytes());
        state.counters["bytes_per_pixel"] = (taken - pixmaps) / double(n * kFramePixels);
        state.counters["pixmap_MiB"] = pixmaps / (1 << 20);
        state.counters["pixmaps_held"] = static_cast<double>(window->pixmapCache().held());
    }
}

BENCHMARK(BM_PaintMiddle)->Arg(10)->Arg(10'000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintBackdrop)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenViewer)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_ViewerMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
