#include "chart/Series.h"

int TLineSeries::CalcXPos(int /*index*/) const {
    return 0;
}

int TLineSeries::CalcYPos(int /*index*/) const {
    return 0;
}

void TLineSeries::GetCursorValues(double& xValue, double& yValue) const {
    xValue = 0;
    yValue = 0;
}
