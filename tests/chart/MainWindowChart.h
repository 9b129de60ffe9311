#pragma once

// The chart as the main window lays it out (axes, series, the 15 points of the initial
// curve), drawn off-window onto a recording surface.

#include "chart/Chart.h"
#include "chart/RecordingCanvas.h"

#include <memory>
#include <ostream>
#include <utility>
#include <vector>

inline void PrintTo(const TPoint& p, std::ostream* os) {
    *os << "(" << p.X << ", " << p.Y << ")";
}

inline void PrintTo(const TRect& r, std::ostream* os) {
    *os << "(" << r.Left << ", " << r.Top << ", " << r.Right << ", " << r.Bottom << ")";
}

using TCurve = std::vector<std::pair<double, double>>;

inline const TCurve InitialCurve{{0, 5},     {500, 5},    {1000, 10},  {2000, 10},  {3000, 12},
                                 {4000, 10}, {5000, 10},  {6000, 11},  {7000, 6},   {8000, 10},
                                 {9000, 12}, {10000, 12}, {11000, 10}, {12000, 10}, {13000, 8}};

inline void ConfigureLikeMainWindow(TCustomChart& chart) {
    chart.SetAllowPanning(pmNone);
    chart.Panning().MouseWheel = pmwNone;
    chart.Zoom().Allow = false;
    chart.Hover().Visible = false;
    chart.Legend().Visible = false;
    chart.SetView3D(false);
    chart.SetColorPaletteIndex(13);
    TChartAxis& bottom = *chart.BottomAxis();
    bottom.SetAutomatic(false);
    bottom.SetAutomaticMinimum(false);
    TChartAxis& left = *chart.LeftAxis();
    left.SetAutomatic(false);
    left.SetAutomaticMinimum(false);
    left.SetMaximumRound(true);
    left.SetIncrement(1.0);
}

inline void ConfigureLikeSeries1(TLineSeries& series) {
    series.SetSeriesColor(clRed);
    series.Brush().BackColor = clDefault;
    TSeriesPointer& pointer = series.Pointer();
    pointer.Style = psCircle;
    pointer.HorizSize = 5;
    pointer.VertSize = 5;
    pointer.Brush.Color = clYellow;
    pointer.Pen.Color = clRed;
    pointer.Visible = true;
    pointer.InflateMargins = true;
    series.XValues()->SetOrder(loAscending);
    series.YValues()->SetOrder(loNone);
}

inline TLineSeries* AddCurve(TCustomChart& chart, const TCurve& curve) {
    auto series = std::make_unique<TLineSeries>();
    ConfigureLikeSeries1(*series);
    for (const auto& [x, y] : curve)
        series->AddXY(x, y);
    return chart.AddSeries(std::move(series));
}

// A chart that draws onto a recording surface; its pointer position is whatever the test
// puts in Cursor.
class TRecordedChart : public TCustomChart {
public:
    TRecordedChart() : TRecordedChart(std::make_unique<TRecordingCanvas>()) {}

    TRecordingCanvas& Recorder;
    TPoint Cursor;
    int WindowInvalidations = 0;

    TPoint CursorClientPos() const override { return Cursor; }

protected:
    void InvalidateWindow() override { ++WindowInvalidations; }

private:
    explicit TRecordedChart(std::unique_ptr<TRecordingCanvas> canvas)
        : TCustomChart(std::move(canvas)), Recorder(static_cast<TRecordingCanvas&>(*Canvas())) {}
};

// The main window's chart, 972 x 450, with the initial curve.
struct TMainWindowChart {
    TRecordedChart Chart;
    TLineSeries* Series = nullptr;

    explicit TMainWindowChart(const TCurve& curve = InitialCurve, int width = 972,
                              int height = 450) {
        Chart.SetClientSize(width, height);
        ConfigureLikeMainWindow(Chart);
        Series = AddCurve(Chart, curve);
    }

    // One full draw, recorded from its first call.
    void Draw() {
        Chart.Invalidate();
        Chart.Recorder.Clear();
        Chart.Paint(nullptr);
    }
};
