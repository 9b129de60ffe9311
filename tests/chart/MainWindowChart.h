#pragma once

// The chart as the main window lays it out (axes, series, the 15 points of the initial curve),
// drawn off-window onto a recording surface; and a stand-in owner for testing one axis alone.

#include "canvas/RecordingCanvas.h"
#include "chart/Chart.h"

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
    for (TChartAxis* axis : {chart.BottomAxis(), chart.LeftAxis()}) {
        axis->SetAutomatic(false);
        axis->SetAutomaticMinimum(false);
    }
    chart.LeftAxis()->SetMaximumRound(true);
    chart.LeftAxis()->SetIncrement(1.0);
}

// Series1 of the main window: red line, yellow circles of half-size 5 rimmed in red.
template <class TSeries = TLineSeries> TSeries* AddCurve(TCustomChart& chart, const TCurve& curve) {
    auto series = std::make_unique<TSeries>();
    series->SetSeriesColor(clRed);
    series->Brush().BackColor = clDefault;
    TSeriesPointer& pointer = series->Pointer();
    pointer.Style = psCircle;
    pointer.HorizSize = pointer.VertSize = 5;
    pointer.Brush.Color = clYellow;
    pointer.Pen.Color = clRed;
    pointer.Visible = pointer.InflateMargins = true;
    series->XValues()->SetOrder(loAscending);
    series->YValues()->SetOrder(loNone);
    for (const auto& [x, y] : curve)
        series->AddXY(x, y);
    return chart.AddSeries(std::move(series));
}

// A chart that draws onto a recording surface; its pointer position is whatever the test puts
// in Cursor.
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

// The main window's chart, 972 x 450, with a curve.
struct TMainWindowChart {
    TRecordedChart Chart;
    TLineSeries* Series = nullptr;

    explicit TMainWindowChart(const TCurve& curve = InitialCurve, int width = 972,
                              int height = 450) {
        Chart.SetClientSize(width, height);
        ConfigureLikeMainWindow(Chart);
        Series = AddCurve(Chart, curve);
    }

    TChartAxis& Bottom() { return *Chart.BottomAxis(); }
    TChartAxis& Left() { return *Chart.LeftAxis(); }
    TRecordingCanvas& Rec() { return Chart.Recorder; }

    // One full draw, recorded from its first call.
    void Draw() {
        Chart.Invalidate();
        Chart.Recorder.Clear();
        Chart.Paint(nullptr);
    }
};

// The chart as one axis sees it: a chart rectangle, a recording surface, and one line series
// with a number of points the test sets.
struct TAxisOwnerStub : TAxisOwner {
    TRect Rect{30, 19, 942, 431};
    TRecordingCanvas Canvas;
    int Points = 15;
    TNumberSeparators Separators;

    TRect AxisChartRect() const override { return Rect; }
    TChartCanvas* AxisCanvas() override { return &Canvas; }
    double InternalMinMax(const TAxisScale*, bool, bool) override { return 0; }
    bool AxisHasSeriesWithAtMostPoints(const TAxisScale* axis, int n) const override {
        return axis->Horizontal() && Points <= n;
    }
    TNumberSeparators AxisNumberSeparators() const override { return Separators; }
};

// An axis with its pixel span and value range set directly.
inline void Place(TChartAxis& a, int start, int end, double min, double max) {
    a.IStartPos = start;
    a.IEndPos = end;
    a.IAxisSize = end - start;
    a.ICenterPos = (start + end) / 2;
    a.IMinimum = min;
    a.IMaximum = max;
    a.InternalCalcRange();
}
