#pragma once

#include "chart/Chart.h"
#include "platform/Platform.h"
#include "widgets/Spin.h"

#include <QWidget>
#include <cstdint>

class QLabel;
class QPushButton;

// Drag limits: the boxes' bounds and the lowest advance, 0.
constexpr int MinXValue = 500;
constexpr int MaxXValue = 20000;
constexpr int MaxYValue = 50;

// The curve's editable points, numbered 1 to PointCount, one RPM and one advance box each.
constexpr int PointCount = 13;

extern const char* const IniFileAccessErrorMessage;
extern const char* const CurveFileName;
extern const char* const PublisherAddress;

// Curve index of the point the last left press on the chart grabbed, -1 for none.
extern std::int32_t MovingPointIndex;

// The main window: the chart with the curve, the two columns of value boxes, "Load" and
// "Save", the column labels and the publisher's link.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(const TPlatform& platform, QWidget* parent = nullptr);
    ~TForm1() override;

    TChart* Chart1 = nullptr;
    TLineSeries* Series1 = nullptr;
    QLabel* LinkLabel3 = nullptr;
    QPushButton* B_LoadIniFile = nullptr;
    QPushButton* B_SaveIniFile = nullptr;
    TSpinEdit* SpinEditRPM[PointCount] = {};
    TSpinEdit* SpinEditADV[PointCount] = {};
    QLabel* LinkLabel1 = nullptr;
    QLabel* LinkLabel2 = nullptr;

    // Handlers.
    void Chart1MouseDown(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void Chart1MouseMove(QObject* Sender, TShiftState Shift, int X, int Y);
    void SpinEditRPM1Change(QObject* Sender);
    void SpinEditADV1Change(QObject* Sender);
    void B_SaveIniFileClick(QObject* Sender);
    void B_LoadIniFileClick(QObject* Sender);
    void LinkLabel3LinkClick(QObject* Sender, const QString& Link);
    void UpdateSpinds(QObject* Sender);

    // A value box by its component name ("SpinEditRPM7"), or nullptr.
    TSpinEdit* FindSpinEdit(const QString& name) const;
    const TPlatform& Platform() const { return FPlatform; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildLayout();
    void BuildChart();
    void BuildSpinEdits();
    void SetTabOrder();
    void CenterOnScreen();
    static void ServeAsAccessibleFrame();
    void DescribeForAssistiveTechnology();
    QString CurveDescription() const;
    TSpinEdit* NewSpinEdit(const QString& name, int left, int top);
    QLabel* NewColumnLabel(const QString& name, const QString& text, const QRect& bounds);

    TPlatform FPlatform;
};

// The application title: the executable's file name without its directory, cut before its
// first ".", every letter after the first in lower case.
QString ApplicationTitle();

extern TForm1* Form1;
