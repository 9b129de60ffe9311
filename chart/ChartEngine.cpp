#include "chart/ChartEngine.h"

TChartSeries::TChartSeries()
    : FXValues(std::make_unique<TChartValueList>(this, "X")),
      FYValues(std::make_unique<TChartValueList>(this, "Y")) {}

int TChartSeries::AddXY(double x, double y) {
    const int index = FXValues->AddChartValue(x);
    FYValues->InsertChartValue(index, y);
    return index;
}
