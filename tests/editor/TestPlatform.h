#pragma once

#include "platform/Platform.h"

#include <QPoint>
#include <QString>
#include <QStringList>
#include <vector>

// Platform doubles that record what the window asked of the platform.
struct TRecordedMessage {
    QString Title;
    QString Text;
};

class TFakeMessageBox : public IMessageBox {
public:
    void Show(QWidget*, const QString& title, const QString& text) override {
        Messages.push_back({title, text});
    }
    std::vector<TRecordedMessage> Messages;
};

class TFakeUrlOpener : public IUrlOpener {
public:
    void Open(const QString& address) override { Opened << address; }
    QStringList Opened;
};

class TFakePointerQuery : public IPointerQuery {
public:
    QPoint ScreenPos() const override { return Pos; }
    QPoint Pos;
};

class TFakeBeep : public IBeep {
public:
    void Beep() override { ++Count; }
    int Count = 0;
};

struct TTestPlatform {
    TFakeMessageBox MessageBox;
    TFakeUrlOpener UrlOpener;
    TFakePointerQuery PointerQuery;
    TFakeBeep Beep;
    TPlatform Services() { return {&MessageBox, &UrlOpener, &PointerQuery, &Beep}; }
};
