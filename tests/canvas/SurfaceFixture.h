#pragma once

// A surface in the middle of a draw on a white image, and what its tests read of the image.

#include "chart/canvas/SmoothCanvas.h"

#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>

inline constexpr QRgb White = 0xFFFFFFFF;
inline constexpr QRgb Black = 0xFF000000;

inline int Darkness(const QImage& image, int x, int y) {
    return 255 - qGray(image.pixel(x, y));
}

inline TChartPen SolidPen(TColor color, int width) {
    TChartPen pen;
    pen.Color = color;
    pen.Width = width;
    return pen;
}

inline TChartPen HiddenPen() {
    TChartPen pen;
    pen.Visible = false;
    return pen;
}

// The columns or rows of the image that hold any non-white pixel.
struct TInk {
    int Left = 0;
    int Right = -1;
    int Top = 0;
    int Bottom = -1;
    bool Empty() const { return Right < Left; }
};

inline TInk InkOf(const QImage& image, int threshold = 60) {
    TInk ink{image.width(), -1, image.height(), -1};
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (Darkness(image, x, y) < threshold)
                continue;
            ink.Left = std::min(ink.Left, x);
            ink.Right = std::max(ink.Right, x);
            ink.Top = std::min(ink.Top, y);
            ink.Bottom = std::max(ink.Bottom, y);
        }
    }
    return ink;
}

// A surface in the middle of a draw on a white image.
class SmoothCanvasTest : public ::testing::Test {
protected:
    void StartDraw(int width, int height) {
        canvas.InitWindow(TRect{0, 0, width, height});
        canvas.AssignVisiblePen(HiddenPen());
        canvas.AssignBrush(TChartBrush{}, clWhite);
        canvas.FillRect(0, 0, width, height);
        canvas.ResetState();
    }
    void SetUp() override { StartDraw(200, 250); }

    const QImage& Image() const { return canvas.Image(); }

    TSmoothCanvas canvas;
};
