#pragma once

// What the chart's benchmarks and their peer share: the main window, built without a screen's
// services, and the value that changes from one draw to the next.

#include "editor/Unit1.h"

#include <cstddef>

// The platform's services, answered without a screen, a browser or a loudspeaker.
struct TBenchPlatform {
    struct : IMessageBox {
        void Show(QWidget*, const QString&, const QString&) override {}
    } MessageBox;
    struct : IUrlOpener {
        void Open(const QString&) override {}
    } UrlOpener;
    struct : IPointerQuery {
        QPoint ScreenPos() const override { return Pos; }
        QPoint Pos;
    } PointerQuery;
    struct : IBeep {
        void Beep() override {}
    } Beep;
    TPlatform Services() { return {&MessageBox, &UrlOpener, &PointerQuery, &Beep}; }
};

// Point 7 (curve index 8, at 7000 RPM) swings between 7 and 6 degrees, inside the axes' ranges.
constexpr int EditedPoint = 8;
inline double EditedAdvance(std::size_t frame) {
    return frame % 2 == 0 ? 7 : 6;
}
