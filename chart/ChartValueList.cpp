#include "chart/ChartValueList.h"

#include <cmath>
#include <utility>

namespace {
// Storage grows in blocks so that filling a series does not reallocate per point.
constexpr std::size_t CapacityStep = 1000;
} // namespace

TChartValueList::TChartValueList(TValueListOwner* owner, std::string name)
    : FName(std::move(name)), FOwner(owner) {}

void TChartValueList::SetValue(int index, double value) {
    FValue[static_cast<std::size_t>(index)] = value;
    FModified = true;
    Changed(veModify, index);
}

void TChartValueList::Changed(TValueEvent event, int index) {
    if (FOwner)
        FOwner->NotifyValue(event, index);
}

void TChartValueList::Recalc() const {
    FModified = false;
    FMaxValue = FMinValue = FTotal = FTotalABS = 0;
    if (FCount == 0)
        return;
    FMaxValue = FMinValue = FValue[0];
    for (int i = 0; i < FCount; ++i) {
        const double v = FValue[static_cast<std::size_t>(i)];
        if (v > FMaxValue)
            FMaxValue = v;
        if (v < FMinValue)
            FMinValue = v;
        FTotal += v;
        FTotalABS += std::fabs(v);
    }
}

double TChartValueList::MaxValue() const {
    if (FModified)
        Recalc();
    return FMaxValue;
}

double TChartValueList::MinValue() const {
    if (FModified)
        Recalc();
    return FMinValue;
}

double TChartValueList::Total() const {
    if (FModified)
        Recalc();
    return FTotal;
}

double TChartValueList::TotalABS() const {
    if (FModified)
        Recalc();
    return FTotalABS;
}

int TChartValueList::AddChartValue(double value) {
    int index = FCount;
    if (FOrder == loAscending) {
        // After the last value that is less than or equal: equal values keep their arrival
        // order.
        while (index > 0 && FValue[static_cast<std::size_t>(index - 1)] > value)
            --index;
    } else if (FOrder == loDescending) {
        while (index > 0 && FValue[static_cast<std::size_t>(index - 1)] < value)
            --index;
    }
    InsertChartValue(index, value);
    return index;
}

void TChartValueList::InsertChartValue(int index, double value) {
    if (FValue.size() == FValue.capacity())
        FValue.reserve(FValue.capacity() + CapacityStep);
    FValue.insert(FValue.begin() + index, value);
    ++FCount;
    FModified = true;
}

void TChartValueList::ClearValues() {
    FValue.clear();
    FCount = 0;
    FModified = true;
}

void TChartValueList::Delete(int index) {
    FValue.erase(FValue.begin() + index);
    --FCount;
    FModified = true;
}
