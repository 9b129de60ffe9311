// The peer of BM_FullDraw: the same chart drawn by QCustomPlot, a general plotting library, into
// an image of the same size and format. Both draw the initial curve anti-aliased, with one value
// changed on every draw, their axes ranged from the data each time: a red line with yellow
// circles rimmed in red, grid lines at every label, ticks, and the labels in Arial 8 points.

#include "bench/SameChart.h"

#include <QApplication>
#include <QImage>
#include <QPalette>
#include <benchmark/benchmark.h>
#include <qcustomplot.h>

#include <algorithm>
#include <cstdlib>

namespace {

void StyleAxis(QCPAxis* axis, double step) {
    auto ticker = QSharedPointer<QCPAxisTickerFixed>::create();
    ticker->setTickStep(step);
    ticker->setScaleStrategy(QCPAxisTickerFixed::ssNone);
    axis->setTicker(ticker);
    axis->setBasePen(QPen(Qt::black, 2, Qt::SolidLine, Qt::FlatCap));
    axis->setTickPen(QPen(QColor(128, 128, 128), 1));
    axis->setSubTickPen(QPen(QColor(128, 128, 128), 1));
    axis->setTickLengthIn(0);
    axis->setTickLengthOut(4);
    axis->setSubTickLengthIn(0);
    axis->setSubTickLengthOut(2);
    axis->setTickLabelFont(QFont(QStringLiteral("Arial"), 8));
    axis->grid()->setPen(QPen(QColor(192, 192, 192), 1));
    axis->grid()->setZeroLinePen(Qt::NoPen);
    axis->grid()->setSubGridVisible(false);
}

void FullDrawQCustomPlot(benchmark::State& state, double ratio) {
    // The curve, the size and the markers of the main window's chart.
    TBenchPlatform platform;
    TForm1 form(platform.Services());
    const int width = form.Chart1->width();
    const int height = form.Chart1->height();
    QVector<double> rpm;
    QVector<double> degrees;
    for (int i = 0; i < form.Series1->Count(); ++i) {
        rpm.append((*form.Series1->XValues())[i]);
        degrees.append((*form.Series1->YValues())[i]);
    }
    const TSeriesPointer& marker = form.Series1->Pointer();

    QCustomPlot plot;
    plot.resize(width, height);
    plot.setAntialiasedElements(QCP::aeAll);
    plot.setBackground(QApplication::palette().button());
    StyleAxis(plot.xAxis, 1000);
    StyleAxis(plot.yAxis, 1);
    // The top and right axes as bare lines: the frame of the plotting area.
    for (QCPAxis* frame : {plot.xAxis2, plot.yAxis2}) {
        frame->setVisible(true);
        frame->setTicks(false);
        frame->setTickLabels(false);
        frame->setBasePen(QPen(Qt::black, 1));
    }
    QCPGraph* graph = plot.addGraph();
    graph->setPen(QPen(Qt::red, 1));
    graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, QPen(Qt::red, 1),
                                           QBrush(Qt::yellow), 2 * marker.HorizSize));

    QImage image(static_cast<int>(width * ratio), static_cast<int>(height * ratio),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    std::size_t frame = 0;
    for (auto _ : state) {
        degrees[EditedPoint] = EditedAdvance(frame++);
        graph->setData(rpm, degrees, true);
        // Ranged from the data as the chart's own automatic axes are, from zero up.
        graph->rescaleAxes();
        plot.xAxis->setRange(0, plot.xAxis->range().upper * 1.01);
        plot.yAxis->setRange(0, plot.yAxis->range().upper + 1);
        QCPPainter painter(&image);
        plot.toPainter(&painter, width, height);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    // VARNOTEL_PEER_PICTURE=file.png keeps the last picture, to look at what was timed.
    if (const char* file = std::getenv("VARNOTEL_PEER_PICTURE"))
        image.save(QString::fromLocal8Bit(file));
}
void BM_FullDrawQCustomPlot(benchmark::State& state) {
    FullDrawQCustomPlot(state, 1);
}
void BM_FullDrawQCustomPlotRatio2(benchmark::State& state) {
    FullDrawQCustomPlot(state, 2);
}
BENCHMARK(BM_FullDrawQCustomPlot)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullDrawQCustomPlotRatio2)->Unit(benchmark::kMicrosecond);

} // namespace
