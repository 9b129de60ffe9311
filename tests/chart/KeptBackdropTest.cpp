// A chart keeps the picture of its backdrop (panel, frame, grid, axes, labels) from draw to
// draw. After every edit, whether it keeps the axes or changes them, it must show exactly the
// picture, and leave exactly the layout, of a chart that draws everything from scratch.

#include "chart/MainWindowChart.h"
#include "chart/canvas/SmoothCanvas.h"
#include "support/QtInput.h"

#include <QImage>
#include <QLocale>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

TSmoothCanvas& Surface(const TChart& chart) {
    return *static_cast<TSmoothCanvas*>(chart.Canvas());
}

struct TEdit {
    const char* Name;
    std::function<void(TChart&, TLineSeries&)> Apply;
    // Whether the next draw shows the kept backdrop.
    bool Reused;
};

void SetPoint(TLineSeries& series, int index, double rpm, double degrees) {
    series.XValues()->SetValue(index, rpm);
    series.YValues()->SetValue(index, degrees);
}

// In order: each edit starts from the chart the edits before it left.
const std::vector<TEdit> Edits{
    {"an advance inside the range", [](TChart&, TLineSeries& s) { SetPoint(s, 8, 7000, 9); }, true},
    {"a speed inside the range", [](TChart&, TLineSeries& s) { SetPoint(s, 6, 5500, 10); }, true},
    {"a marker on the lowest row, cut by the clip",
     [](TChart&, TLineSeries& s) { SetPoint(s, 9, 8000, 0); }, true},
    {"the highest advance raised: the left axis grows",
     [](TChart&, TLineSeries& s) { SetPoint(s, 11, 10000, 50); }, false},
    {"another point under the grown axis",
     [](TChart&, TLineSeries& s) { SetPoint(s, 4, 3000, 20); }, true},
    {"the highest advance lowered again",
     [](TChart&, TLineSeries& s) { SetPoint(s, 11, 10000, 12); }, false},
    {"the last speed at the top bound: the bottom axis grows",
     [](TChart&, TLineSeries& s) { SetPoint(s, 14, 20000, 8); }, false},
    {"two points on one pixel", [](TChart&, TLineSeries& s) { SetPoint(s, 13, 20000, 8); }, true},
    {"a point on the left edge", [](TChart&, TLineSeries& s) { SetPoint(s, 1, 0, 15); }, true},
    {"the panel in another colour", [](TChart& c, TLineSeries&) { c.SetColor(clWhite); }, false},
    {"the same picture once more", [](TChart&, TLineSeries&) {}, true},
    {"the chart resized", [](TChart& c, TLineSeries&) { c.resize(900, 400); }, false},
    {"a point after the resize", [](TChart&, TLineSeries& s) { SetPoint(s, 7, 6000, 14); }, true},
};

class KeptBackdrop : public ::testing::TestWithParam<double> {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Chart = NewChart(InitialCurve);
        Series = static_cast<TLineSeries*>(Chart->Series(0));
    }

    // A chart of the main window's layout on the screen of the test's ratio, not shown.
    std::unique_ptr<TChart> NewChart(const TCurve& curve) const {
        auto chart = std::make_unique<TChart>();
        chart->resize(972, 450);
        ConfigureLikeMainWindow(*chart);
        AddCurve(*chart, curve);
        chart->winId();
        QScreen* screen = qtinput::ScreenWithRatio(GetParam());
        EXPECT_NE(screen, nullptr) << "no test screen of ratio " << GetParam();
        if (screen)
            chart->windowHandle()->setScreen(screen);
        chart->Repaint();
        return chart;
    }

    // The same chart, drawn once on a surface that has kept nothing.
    std::unique_ptr<TChart> DrawnFromScratch() const {
        TCurve curve;
        for (int i = 0; i < Series->Count(); ++i)
            curve.emplace_back((*Series->XValues())[i], (*Series->YValues())[i]);
        auto chart = NewChart(curve);
        chart->SetColor(Chart->Color());
        chart->resize(Chart->size());
        chart->Repaint();
        return chart;
    }

    std::unique_ptr<TChart> Chart;
    TLineSeries* Series = nullptr;
};

TEST_P(KeptBackdrop, EveryEditShowsThePictureAndLayoutOfADrawFromScratch) {
    for (const TEdit& edit : Edits) {
        SCOPED_TRACE(edit.Name);
        edit.Apply(*Chart, *Series);
        const int reuses = Surface(*Chart).BackdropReuses();
        Chart->Repaint();
        EXPECT_EQ(Surface(*Chart).BackdropReuses(), reuses + (edit.Reused ? 1 : 0));

        const std::unique_ptr<TChart> fresh = DrawnFromScratch();
        const QImage& image = Surface(*Chart).Image();
        ASSERT_EQ(image.size(), Surface(*fresh).Image().size());
        ASSERT_EQ(image.devicePixelRatio(), GetParam());
        EXPECT_TRUE(image == Surface(*fresh).Image());
        EXPECT_EQ(Chart->ChartRect(), fresh->ChartRect());
        for (int axis : {aiBottom, aiLeft}) {
            EXPECT_EQ(Chart->Axis(axis)->IMinimum, fresh->Axis(axis)->IMinimum);
            EXPECT_EQ(Chart->Axis(axis)->IMaximum, fresh->Axis(axis)->IMaximum);
            EXPECT_EQ(Chart->Axis(axis)->Tick(), fresh->Axis(axis)->Tick());
        }
        for (int i = 0; i < Series->Count(); ++i) {
            EXPECT_EQ(Series->CalcXPos(i), fresh->Series(0)->CalcXPos(i)) << i;
            EXPECT_EQ(Series->CalcYPos(i), fresh->Series(0)->CalcYPos(i)) << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AtRatio, KeptBackdrop, ::testing::Values(1.0, 1.5, 2.0));

} // namespace
