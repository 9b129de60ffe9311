#pragma once

// A drawing surface that draws nothing: it logs every operation with its arguments and the pen,
// brush, font and text state in force at the time, so tests can check what the chart draws, in
// which order and how. Text is measured with simple fixed metrics the test can change.

#include "chart/canvas/ChartCanvas.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

// A call with the surface's state at the time (Pen, Brush, Font, TextAlign, ...).
struct TCanvasCall : TChartCanvas::TState {
    std::string Op;        // the operation's name, e.g. "Line", "TextOut", "ClipRectangle"
    std::vector<int> Args; // integer arguments in call order; Polyline: x0, y0, x1, y1, ...
    std::string Text;      // TextOut's and the measuring calls' text

    // The 2-D form of a line drawn under a 3-D name (HorizLine3D, VertLine3D, LineWithZ) as
    // "Line" with (x0, y0, x1, y1); other calls unchanged.
    TCanvasCall AsLine() const {
        TCanvasCall c = *this;
        if (Op == "HorizLine3D") {
            c.Args = {Args[0], Args[2], Args[1], Args[2]};
        } else if (Op == "VertLine3D") {
            c.Args = {Args[0], Args[1], Args[0], Args[2]};
        } else if (Op == "LineWithZ") {
            c.Args = {Args[0], Args[1], Args[2], Args[3]};
        } else {
            return c;
        }
        c.Op = "Line";
        return c;
    }
};

class TRecordingCanvas : public TChartCanvas3D {
public:
    using TChartCanvas::ClipRectangle;
    using TChartCanvas::FillRect;
    using TChartCanvas::Rectangle;

    std::vector<TCanvasCall> Calls;

    // Metrics: every character is CharWidth pixels wide, every text LineHeight pixels high.
    double CharWidth = 6;
    double LineHeight = 14;
    // Measuring calls are answered always, logged only when asked for.
    bool LogMeasuring = false;

    std::vector<std::string> Ops() const {
        std::vector<std::string> ops;
        for (const TCanvasCall& c : Calls)
            ops.push_back(c.Op);
        return ops;
    }

    std::vector<TCanvasCall> CallsOf(const std::string& op) const {
        std::vector<TCanvasCall> found;
        std::copy_if(Calls.begin(), Calls.end(), std::back_inserter(found),
                     [&](const TCanvasCall& c) { return c.Op == op; });
        return found;
    }

    std::size_t Count(const std::string& op) const {
        return static_cast<std::size_t>(std::count_if(
            Calls.begin(), Calls.end(), [&](const TCanvasCall& c) { return c.Op == op; }));
    }

    void Clear() { Calls.clear(); }

    int CurrentX() const { return FX; }
    int CurrentY() const { return FY; }
    int ClipDepth() const { return FClipDepth; }

    void MoveTo(int x, int y) override {
        Log("MoveTo", {x, y});
        TChartCanvas::MoveTo(x, y);
    }
    void LineTo(int x, int y) override {
        Log("LineTo", {FX, FY, x, y});
        TChartCanvas::MoveTo(x, y);
    }
    void Line(int x0, int y0, int x1, int y1) override {
        Log("Line", {x0, y0, x1, y1});
        TChartCanvas::MoveTo(x1, y1);
    }
    void HorizLine3D(int left, int right, int y, int z) override {
        Log("HorizLine3D", {left, right, y, z});
        TChartCanvas::MoveTo(right, y);
    }
    void VertLine3D(int x, int top, int bottom, int z) override {
        Log("VertLine3D", {x, top, bottom, z});
        TChartCanvas::MoveTo(x, bottom);
    }
    void LineWithZ(int x0, int y0, int x1, int y1, int z) override {
        Log("LineWithZ", {x0, y0, x1, y1, z});
        TChartCanvas::MoveTo(x1, y1);
    }
    void Polyline(const std::vector<TPoint>& points) override {
        std::vector<int> args;
        for (const TPoint& p : points) {
            args.push_back(p.X);
            args.push_back(p.Y);
        }
        Log("Polyline", args);
    }
    void FillRect(int left, int top, int right, int bottom) override {
        Log("FillRect", {left, top, right, bottom});
    }
    void Rectangle(int x0, int y0, int x1, int y1) override { Log("Rectangle", {x0, y0, x1, y1}); }
    void Ellipse(int x1, int y1, int x2, int y2) override { Log("Ellipse", {x1, y1, x2, y2}); }

    // Logged with the state before the text; afterwards the brush is the font's, as on screen.
    void TextOut(int x, int y, const std::string& text) override {
        Log("TextOut", {x, y}, text);
        TakeFontBrush();
    }
    TFloatSize TextSize(const std::string& text) override {
        if (LogMeasuring)
            Log("TextSize", {}, text);
        return Measure(text);
    }
    int TextWidth(const std::string& text) override {
        if (LogMeasuring)
            Log("TextWidth", {}, text);
        return static_cast<int>(std::nearbyint(Measure(text).Width));
    }
    int TextHeight(const std::string& text) override {
        if (LogMeasuring)
            Log("TextHeight", {}, text);
        return static_cast<int>(std::nearbyint(Measure(text).Height));
    }

    void ClipRectangle(int left, int top, int right, int bottom) override {
        Log("ClipRectangle", {left, top, right, bottom});
        ++FClipDepth;
    }
    void UnClipRectangle() override {
        Log("UnClipRectangle", {});
        if (FClipDepth > 0)
            --FClipDepth;
    }

    TRect InitWindow(const TRect& rect) override {
        Log("InitWindow", {rect.Left, rect.Top, rect.Right, rect.Bottom});
        TChartCanvas::MoveTo(0, 0);
        SetBackMode(cbmOpaque);
        return TRect{0, 0, rect.Width(), rect.Height()};
    }
    void ShowImage(TImageDestination* /*destination*/, const TRect& rect) override {
        Log("ShowImage", {rect.Left, rect.Top, rect.Right, rect.Bottom});
        FDirty = false;
    }
    void AbandonDraw() override {
        Log("AbandonDraw", {});
        FDirty = true;
    }
    bool ReDrawBitmap(TImageDestination* /*destination*/) override {
        Log("ReDrawBitmap", {});
        return !FDirty;
    }
    void Invalidate() override {
        Log("Invalidate", {});
        TChartCanvas3D::Invalidate();
    }

private:
    TFloatSize Measure(const std::string& text) const {
        // Characters, not bytes: labels such as "ADV [°]" hold multi-byte UTF-8 sequences.
        auto chars = std::count_if(text.begin(), text.end(), [](char ch) {
            return (static_cast<unsigned char>(ch) & 0xC0) != 0x80;
        });
        return TFloatSize{static_cast<double>(chars) * CharWidth, LineHeight};
    }

    void Log(const std::string& op, std::vector<int> args, const std::string& text = {}) {
        Calls.push_back(TCanvasCall{State(), op, std::move(args), text});
    }

    int FClipDepth = 0;
};
