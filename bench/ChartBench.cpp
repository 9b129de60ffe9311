#include "bench/SameChart.h"
#include "chart/canvas/SmoothCanvas.h"
#include "editor/Fonts.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QWindow>
#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>

namespace {

const TSmoothCanvas& Surface(const TForm1& form) {
    return static_cast<const TSmoothCanvas&>(*form.Chart1->Canvas());
}

// Puts the window, not shown, on the screen with the given device pixel ratio (the benchmarks'
// offscreen platform has screens of ratio 1 and 2), so that its chart draws at that ratio.
void PlaceOnScreen(QWidget& window, double ratio) {
    window.winId();
    for (QScreen* screen : QGuiApplication::screens())
        if (screen->devicePixelRatio() == ratio)
            window.windowHandle()->setScreen(screen);
    if (window.devicePixelRatio() != ratio)
        qFatal("no screen of device pixel ratio %g", ratio);
}

// One full draw of the main window's chart with the initial curve into its off-screen image,
// one value changed before each draw as its peer changes it.
void FullDraw(benchmark::State& state, double ratio) {
    TBenchPlatform platform;
    TForm1 form(platform.Services());
    PlaceOnScreen(form, ratio);
    std::size_t frame = 0;
    for (auto _ : state) {
        form.Series1->YValues()->SetValue(EditedPoint, EditedAdvance(frame++));
        form.Chart1->Repaint();
    }
    state.counters["draws"] = form.Chart1->DrawCount();
    // Draws that showed the kept backdrop instead of painting it.
    state.counters["kept"] = Surface(form).BackdropReuses();
}
void BM_FullDraw(benchmark::State& state) {
    FullDraw(state, 1);
}
void BM_FullDrawRatio2(benchmark::State& state) {
    FullDraw(state, 2);
}
BENCHMARK(BM_FullDraw)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullDrawRatio2)->Unit(benchmark::kMicrosecond);

// Filling a chart-sized image and copying it once: no full draw can be faster than this.
void ImageFloor(benchmark::State& state, double ratio) {
    const QSize size(static_cast<int>(972 * ratio), static_cast<int>(450 * ratio));
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    QImage window(size, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        {
            QPainter painter(&image);
            painter.fillRect(image.rect(), QColor(240, 240, 240));
        }
        QPainter painter(&window);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, image);
        benchmark::DoNotOptimize(window.constBits());
    }
}
void BM_ImageFloor(benchmark::State& state) {
    ImageFloor(state, 1);
}
void BM_ImageFloorRatio2(benchmark::State& state) {
    ImageFloor(state, 2);
}
BENCHMARK(BM_ImageFloor)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ImageFloorRatio2)->Unit(benchmark::kMicrosecond);

// The screen position of the chart pixel whose value lies nearest to the wanted speed, at
// the advance row nearest to the wanted degrees.
QPoint ScreenPositionOf(const TForm1& form, double rpm, double degrees) {
    auto nearest = [](double wanted, auto toValue) {
        int best = 0;
        for (int p = -1000; p < 2000; ++p)
            if (std::abs(toValue(p) - wanted) < std::abs(toValue(best) - wanted))
                best = p;
        return best;
    };
    const TLineSeries* series = form.Series1;
    const int x = nearest(rpm, [series](int p) { return series->XScreenToValue(p); });
    const int y = nearest(degrees, [series](int p) { return series->YScreenToValue(p); });
    return form.Chart1->mapToGlobal(QPoint(x, y));
}

// One mouse move on a grabbed point with everything it runs: the drag's repaint, the writes
// into the point's two boxes, their rules and their repaints. The pointer swings point 3
// between two positions, so that every step changes both of its boxes.
void DragStep(benchmark::State& state, double ratio) {
    TBenchPlatform platform;
    TForm1 form(platform.Services());
    PlaceOnScreen(form, ratio);
    form.Chart1->Repaint();
    form.Chart1MouseDown(form.Chart1, mbLeft, ssLeft, form.Series1->CalcXPos(4),
                         form.Series1->CalcYPos(4));
    const QPoint positions[] = {ScreenPositionOf(form, 3550, 20.5),
                                ScreenPositionOf(form, 2550, 8.5)};
    std::size_t step = 0;
    const int draws = form.Chart1->DrawCount();
    const int kept = Surface(form).BackdropReuses();
    for (auto _ : state) {
        platform.PointerQuery.Pos = positions[step++ % 2];
        form.Chart1MouseMove(form.Chart1, ssLeft, 0, 0);
    }
    state.counters["draws/step"] =
        benchmark::Counter(form.Chart1->DrawCount() - draws, benchmark::Counter::kAvgIterations);
    state.counters["kept/step"] = benchmark::Counter(Surface(form).BackdropReuses() - kept,
                                                     benchmark::Counter::kAvgIterations);
}
void BM_DragStep(benchmark::State& state) {
    DragStep(state, 1);
}
void BM_DragStepRatio2(benchmark::State& state) {
    DragStep(state, 2);
}
BENCHMARK(BM_DragStep)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DragStepRatio2)->Unit(benchmark::kMicrosecond);

// The deepest cascade: point 1 set to 20000 on the initial curve pushes every point to the
// top bound and back down, with a repaint for every rule run.
void BM_CascadeRpm1To20000(benchmark::State& state) {
    TBenchPlatform platform;
    int draws = 0;
    int kept = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto form = std::make_unique<TForm1>(platform.Services());
        const int before = form->Chart1->DrawCount();
        state.ResumeTiming();
        form->SpinEditRPM[0]->SetValue(20000);
        state.PauseTiming();
        draws = form->Chart1->DrawCount() - before;
        kept = Surface(*form).BackdropReuses();
        form.reset();
        state.ResumeTiming();
    }
    state.counters["draws"] = draws;
    state.counters["kept"] = kept;
}
BENCHMARK(BM_CascadeRpm1To20000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" VARNOTEL_SCREENS);
    QApplication app(argc, argv);
    RegisterTahoma();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
