#pragma once

#include "widgets/TimerSpeedButton.h"

#include <QWidget>
#include <functional>

// The pair of arrows at the right edge of a spin box. It never takes the keyboard focus
// itself: a left press on an arrow hands the focus to its focus control, the box.
class TSpinButton : public QWidget {
    Q_OBJECT
public:
    explicit TSpinButton(QWidget* parent);

    TTimerSpeedButton* UpButton() const { return FUpButton; }
    TTimerSpeedButton* DownButton() const { return FDownButton; }
    TTimerSpeedButton* FocusedButton() const { return FFocusedButton; }
    QWidget* FocusControl() const { return FFocusControl; }
    void SetFocusControl(QWidget* control) { FFocusControl = control; }

    // Places the two arrows in the pair's current size; they overlap by one pixel row.
    void LayoutArrows();

    std::function<void(QObject* sender)> OnUpClick;
    std::function<void(QObject* sender)> OnDownClick;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void BtnMouseDown(TTimerSpeedButton* button);
    void BtnClick(TTimerSpeedButton* button);
    void SetFocusRectShown(bool shown);

    TTimerSpeedButton* FUpButton = nullptr;
    TTimerSpeedButton* FDownButton = nullptr;
    TTimerSpeedButton* FFocusedButton = nullptr;
    QWidget* FFocusControl = nullptr;
};
