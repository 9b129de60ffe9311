#pragma once

// The line series: a polyline through the points in index order with a marker at each point.

#include "chart/CustomAxisPanel.h"

enum TSeriesPointerStyle {
    psRectangle,
    psCircle,
    psTriangle,
    psDownTriangle,
    psCross,
    psDiagCross,
    psStar,
    psDiamond,
    psSmallDot,
    psNothing,
    psLeftTriangle,
    psRightTriangle,
    psHexagon,
    psVisual,
    psDonut,
    psArrow
};

enum TSeriesTreatNulls { tnDontPaint, tnSkip, tnIgnore };

// The marker drawn at a point: a shape HorizSize by VertSize pixels either side of it.
class TSeriesPointer {
public:
    bool Visible = true;
    TSeriesPointerStyle Style = psRectangle;
    int HorizSize = 4;
    int VertSize = 4;
    bool InflateMargins = true;
    TChartPen Pen;
    // Darkening of the outline against the fill; 0 keeps the pen's own colour.
    int DarkPen = 0;
    TChartBrush Brush{clDefault, bsSolid, clDefault};
    int Transparency = 0;
    bool Draw3D = true;
    bool Dark3D = true;

    // Room the marker needs beyond a point, horizontally and vertically.
    int HorizMargin() const;
    int VertMargin() const;

    // Draws the marker centred on (x, y); color is the point's colour.
    void Draw(TChartCanvas& canvas, int x, int y, TColor color) const;

private:
    void PrepareCanvas(TChartCanvas& canvas, TColor color) const;
};

// Series drawn as lines, areas or stairs, with markers at the points.
class TCustomSeries : public TChartSeries {
public:
    TCustomSeries();

    TSeriesPointer& Pointer() { return FPointer; }
    const TSeriesPointer& Pointer() const { return FPointer; }
    TChartPen& LinePen() { return FLinePen; }
    const TChartPen& LinePen() const { return FLinePen; }
    TChartBrush& Brush() { return FBrush; }

    bool ColorEachPoint() const { return FColorEachPoint; }
    void SetColorEachPoint(bool value) { FColorEachPoint = value; }
    bool ColorEachLine() const { return FColorEachLine; }
    void SetColorEachLine(bool value) { FColorEachLine = value; }
    bool DrawLine() const { return FDrawLine; }
    void SetDrawLine(bool value) { FDrawLine = value; }
    bool DrawArea() const { return FDrawArea; }
    TSeriesTreatNulls TreatNulls() const { return FTreatNulls; }
    void SetTreatNulls(TSeriesTreatNulls value) { FTreatNulls = value; }
    bool InflateMargins() const { return FInflateMargins; }
    void SetInflateMargins(bool value) { FInflateMargins = value; }

    void CalcHorizMargins(int& leftMargin, int& rightMargin) const override;
    void CalcVerticalMargins(int& topMargin, int& bottomMargin) const override;

    void DrawAllValues() override;
    virtual void DrawValue(int valueIndex);
    // Draws the marker of point index at (x, y) in color.
    virtual void DrawPointer(int x, int y, TColor color, int index);

protected:
    bool IsPointInChartRect(int index) const override;

private:
    void DrawPoint(int index, int x, int y, TColor color, bool withMarkers);
    void DrawSegment(int index, int x, int y, TColor color);
    void DrawMarkersOfSegment(int index, int x, int y, TColor color);
    void DrawPreviousPoint(int index, int x, int y);
    int CalcPosLeftRight(int index, int other, double xValue) const;
    void LimitCoordinates(int index, int& x, int& y) const;
    void LinePrepareCanvas(TColor color);
    int InflateLineMargin() const;

    TSeriesPointer FPointer;
    TChartPen FLinePen;
    TChartBrush FBrush{clDefault, bsSolid, clDefault};
    bool FColorEachPoint = false;
    bool FColorEachLine = true;
    bool FDrawLine = false;
    bool FDrawArea = false;
    TSeriesTreatNulls FTreatNulls = tnDontPaint;
    bool FInflateMargins = true;

    // Drawing state of the current draw.
    int OldX = 0;
    int OldY = 0;
    TColor OldColor = clDefault;
    TRect IClientRect;
};

class TCustomLineSeries : public TCustomSeries {};

// The line series: drawn as a line, its markers hidden until switched on.
class TLineSeries : public TCustomLineSeries {
public:
    TLineSeries();
};
