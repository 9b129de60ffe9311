#pragma once

#include "support/QtInput.h"
#include "widgets/Spin.h"
#include "widgets/SpinButton.h"

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QPushButton>
#include <cstdint>
#include <vector>

using namespace qtinput;

// "Tahoma" at 13 pixels, as the boxes use it: installed, or the face Debian's fonts-wine ships.
inline bool HaveTahoma() {
    if (!QFontDatabase::families().contains("Tahoma"))
        QFontDatabase::addApplicationFont("/usr/share/wine/fonts/tahoma.ttf");
    return QFontDatabase::families().contains("Tahoma");
}

// A shown window with an engine-speed box, an advance box and a button, set up as the editor
// sets up its boxes: bounds and increment first, then the value, then the change handler.
class SpinBoxes : public ::testing::Test {
protected:
    void SetUp() override {
        HaveTahoma();
        QFont font("Tahoma");
        font.setPixelSize(13);
        Host.setFont(font);
        Host.resize(320, 120);
        Rpm = NewBox(10, 100, 500, 20000, 1000);
        Adv = NewBox(100, 1, 0, 50, 10);
        Other = new QPushButton("Other", &Host);
        Other->setGeometry(200, 10, 80, 26);
        ASSERT_TRUE(ShowActive(Host));
        TestApplication::ClearErrors();
    }

    TSpinEdit* NewBox(int left, int increment, int min, int max, int value) {
        auto* box = new TSpinEdit(&Host);
        box->setGeometry(left, 10, 73, 26);
        box->SetIncrement(increment);
        box->SetMaxValue(max);
        box->SetMinValue(min);
        box->SetValue(value);
        box->SetBeeper([this] { ++Beeps; });
        box->OnChange = [this](TSpinEdit* sender) {
            Changes.push_back(sender);
            ChangeValues.push_back(sender->Value());
        };
        return box;
    }

    // Enters a box as the Tab key does, leaving it first if it has the focus.
    void Enter(QWidget* box) {
        if (box->hasFocus())
            Other->setFocus(Qt::TabFocusReason);
        box->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(box->hasFocus());
    }

    QWidget Host;
    TSpinEdit* Rpm = nullptr;
    TSpinEdit* Adv = nullptr;
    QPushButton* Other = nullptr;
    std::vector<TSpinEdit*> Changes;
    std::vector<std::int32_t> ChangeValues;
    int Beeps = 0;
    Mouse FMouse;
};
