#include "chart/Chart.h"
#include "chart/MainWindowChart.h"
#include "support/Accessibility.h"
#include "support/QtInput.h"

#include <gtest/gtest.h>

namespace {

// The chart control with the main window's curve, shown, described by its points' values.
class ChartAccessibility : public ::testing::Test {
protected:
    ChartAccessibility() {
        ConfigureLikeMainWindow(Chart);
        Series = AddCurve(Chart, InitialCurve);
        Chart.resize(500, 300);
        Chart.setAccessibleName("Curve");
        Chart.AccessibleDescriptionText = [this] {
            ++Described;
            QStringList points;
            for (int i = 0; i < Series->XValues()->Count(); ++i)
                points << QString("%1 %2")
                              .arg(Series->XValues()->Value(i))
                              .arg(Series->YValues()->Value(i));
            return points.join(", ");
        };
        qtinput::ShowActive(Chart);
    }
    QAccessibleInterface* Interface() { return a11y::Of(&Chart); }

    TChart Chart;
    TLineSeries* Series = nullptr;
    int Described = 0;
};

TEST_F(ChartAccessibility, AChartNamedByItsOwnerDescribedByTheDataOfTheMoment) {
    ASSERT_NE(Interface(), nullptr);
    EXPECT_EQ(Interface()->role(), QAccessible::Chart);
    EXPECT_EQ(Interface()->text(QAccessible::Name), "Curve");
    EXPECT_TRUE(Interface()->text(QAccessible::Description).startsWith("0 5, 500 5, 1000 10, "));
    Series->YValues()->SetValue(2, 44);
    EXPECT_TRUE(Interface()->text(QAccessible::Description).startsWith("0 5, 500 5, 1000 44, "))
        << "read when asked for, not when last drawn";

    Chart.AccessibleDescriptionText = nullptr;
    Chart.setAccessibleDescription("fixed");
    EXPECT_EQ(Interface()->text(QAccessible::Description), "fixed");
}

TEST_F(ChartAccessibility, ADrawThatChangesTheDescriptionAnnouncesItOnce) {
    Described = 0;
    Series->YValues()->SetValue(2, 44);
    Chart.Repaint();
    EXPECT_EQ(Described, 0) << "no description is built while nobody listens";

    a11y::TRecorder recorder;
    Chart.Repaint();
    EXPECT_EQ(recorder.Of(&Chart, QAccessible::DescriptionChanged).size(), 1u);
    Chart.Repaint();
    Chart.hide();
    Chart.Repaint();
    EXPECT_EQ(recorder.Of(&Chart, QAccessible::DescriptionChanged).size(), 1u)
        << "draws that change nothing are not announced";
    Series->XValues()->SetValue(14, 14000);
    Chart.Repaint();
    EXPECT_EQ(recorder.Of(&Chart, QAccessible::DescriptionChanged).size(), 2u)
        << "also while the chart is drawn off-screen";
}

} // namespace
