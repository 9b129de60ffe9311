#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum TChartListOrder { loNone, loAscending, loDescending };

// Event a value list sends its series when one of its values is written.
enum TValueEvent { veClear, veAdd, veModify, veDelete, veRefresh };

// The series that holds a value list, as the list sees it: told of every written value.
class TValueListOwner {
public:
    virtual void NotifyValue(TValueEvent event, int index) = 0;

protected:
    ~TValueListOwner() = default;
};

// One dimension of a series' data (for example the X values). A value, once placed, keeps
// its index: writing a value never re-sorts the list, so an index keeps naming the same
// point even when the values are out of order. Statistics are computed lazily, once per
// change.
class TChartValueList {
public:
    TChartValueList(TValueListOwner* owner, std::string name);
    virtual ~TChartValueList() = default;

    double Value(int index) const { return FValue[static_cast<std::size_t>(index)]; }
    void SetValue(int index, double value);
    double operator[](int index) const { return Value(index); }

    int Count() const { return FCount; }
    const std::string& Name() const { return FName; }
    TChartListOrder Order() const { return FOrder; }
    void SetOrder(TChartListOrder order) { FOrder = order; }
    TValueListOwner* Owner() const { return FOwner; }

    double MaxValue() const;
    double MinValue() const;
    double Total() const;
    double TotalABS() const;

    virtual int AddChartValue(double value);
    virtual void ClearValues();
    virtual void InsertChartValue(int index, double value);
    virtual void Delete(int index);

private:
    void Recalc() const;
    void Changed(TValueEvent event, int index);

    int FCount = 0;
    mutable double FMaxValue = 0;
    mutable double FMinValue = 0;
    std::string FName;
    TChartListOrder FOrder = loNone;
    TValueListOwner* FOwner = nullptr;
    mutable double FTotal = 0;
    mutable double FTotalABS = 0;
    mutable bool FModified = true;
    std::vector<double> FValue;
};
