#pragma once

#include "editor/Unit1.h"

// The platform services of a window that nobody sees: messages are only counted, no browser opens,
// no beep sounds, and the pointer is where the benchmark puts it.
struct TBenchPlatform {
    struct : IMessageBox {
        void Show(QWidget*, const QString&, const QString&) override { ++Shown; }
        int Shown = 0;
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
