#include "widgets/SpinButton.h"

#include "widgets/SpinAccessible.h"

TSpinButton::TSpinButton(QWidget* parent) : QWidget(parent) {
    InstallSpinAccessibility();
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    FUpButton = new TTimerSpeedButton(false, this);
    FDownButton = new TTimerSpeedButton(true, this);
    FFocusedButton = FUpButton;
    for (TTimerSpeedButton* button : {FUpButton, FDownButton}) {
        button->OnLeftMouseDown = [this, button] { BtnMouseDown(button); };
        button->OnClick = [this, button] { BtnClick(button); };
    }
    resize(15, 17);
    LayoutArrows();
}

void TSpinButton::LayoutArrows() {
    const int upHeight = height() / 2;
    FUpButton->setGeometry(0, 0, width(), upHeight);
    FDownButton->setGeometry(0, upHeight - 1, width(), height() - upHeight + 1);
}

void TSpinButton::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutArrows();
}

void TSpinButton::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    SetFocusRectShown(true);
}

void TSpinButton::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    SetFocusRectShown(false);
}

void TSpinButton::SetFocusRectShown(bool shown) {
    for (TTimerSpeedButton* button : {FUpButton, FDownButton}) {
        TTimeBtnStates state = button->TimeBtnState() & ~TTimeBtnStates(tbFocusRect);
        if (shown && button == FFocusedButton)
            state |= tbFocusRect;
        button->SetTimeBtnState(state);
    }
}

void TSpinButton::BtnMouseDown(TTimerSpeedButton* button) {
    const bool pairIsTabStop = focusPolicy() & Qt::TabFocus;
    if (pairIsTabStop) {
        FFocusedButton = button;
        if (hasFocus())
            SetFocusRectShown(true);
    }
    if (FFocusControl && (FFocusControl->focusPolicy() & Qt::TabFocus) &&
        FFocusControl->isEnabled() && FFocusControl->isVisible() && !FFocusControl->hasFocus())
        FFocusControl->setFocus(Qt::MouseFocusReason);
    else if (pairIsTabStop && isEnabled() && isVisible() && !hasFocus())
        setFocus(Qt::MouseFocusReason);
}

void TSpinButton::BtnClick(TTimerSpeedButton* button) {
    if (button == FUpButton) {
        if (OnUpClick)
            OnUpClick(this);
    } else if (OnDownClick) {
        OnDownClick(this);
    }
}
