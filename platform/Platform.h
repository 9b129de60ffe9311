#pragma once

#include "platform/Beep.h"
#include "platform/MessageBox.h"
#include "platform/PointerQuery.h"
#include "platform/UrlOpener.h"

#include <memory>

// The platform services the main window is built with. Tests hand in doubles that record
// every message box, opened address, beep and pointer position.
struct TPlatform {
    IMessageBox* MessageBox = nullptr;
    IUrlOpener* UrlOpener = nullptr;
    IPointerQuery* PointerQuery = nullptr;
    IBeep* Beep = nullptr;
};

// The Qt implementations, owned together, for the real application.
class TQtPlatform {
public:
    TPlatform Services() { return {&FMessageBox, &FUrlOpener, &FPointerQuery, &FBeep}; }

private:
    QtMessageBox FMessageBox;
    QtUrlOpener FUrlOpener;
    QtPointerQuery FPointerQuery;
    QtBeep FBeep;
};
