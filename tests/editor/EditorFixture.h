#pragma once

#include "editor/Fonts.h"
#include "editor/TestPlatform.h"
#include "editor/Unit1.h"
#include "support/QtInput.h"

#include <QApplication>
#include <QKeyEvent>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

// The main window, shown on the offscreen platform with recording platform doubles.
class EditorFixture : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterTahoma();
        MovingPointIndex = -1;
        Form = std::make_unique<TForm1>(Services());
        Form1 = Form.get();
        Form->show();
        qtinput::Activate(*Form);
        QApplication::processEvents();
    }
    void TearDown() override {
        Form.reset();
        QApplication::processEvents();
    }

    // The platform the window is built with.
    virtual TPlatform Services() { return Platform.Services(); }

    TSpinEdit* Rpm(int k) const { return Form->SpinEditRPM[k - 1]; }
    TSpinEdit* Adv(int k) const { return Form->SpinEditADV[k - 1]; }
    double CurveX(int k) const { return Form->Series1->XValues()->Value(k + 1); }
    double CurveY(int k) const { return Form->Series1->YValues()->Value(k + 1); }
    std::vector<int> RpmBoxes() const {
        std::vector<int> values;
        for (int k = 1; k <= 13; ++k)
            values.push_back(Rpm(k)->Value());
        return values;
    }
    std::vector<double> CurveXs() const {
        std::vector<double> values;
        for (int k = 1; k <= 13; ++k)
            values.push_back(CurveX(k));
        return values;
    }

    static void Key(QWidget* target, int key, const QString& text = {},
                    Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
        QApplication::sendEvent(target, &release);
    }
    static void Type(QWidget* target, const QString& text) {
        for (QChar c : text)
            Key(target, c.toUpper().unicode(), QString(c));
    }
    // Moves the keyboard focus into a box as Tab would.
    static void Enter(TSpinEdit* box) {
        box->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
    }
    // Moves the keyboard focus on to another control of the window.
    void Leave() {
        Form->Chart1->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
    }

    TTestPlatform Platform;
    std::unique_ptr<TForm1> Form;
};
