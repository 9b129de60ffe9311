#pragma once

#include "platform/MouseLoss.h"

#include <QImage>
#include <QPainterPath>
#include <QWidget>
#include <functional>

class QTimer;

// Delay before a held arrow starts repeating, then the period of the repeated steps.
constexpr int InitRepeatPause = 400;
constexpr int RepeatPause = 100;

enum TTimeBtnState {
    tbFocusRect = 0x1,
    tbAllowTimer = 0x2,
};
Q_DECLARE_FLAGS(TTimeBtnStates, TTimeBtnState)
Q_DECLARE_OPERATORS_FOR_FLAGS(TTimeBtnStates)

// The 9 x 6 black triangle drawn on an arrow, on a transparent background, pointing up or
// down and centred on the fifth column.
QImage SpinArrowGlyph(bool downArrow);
// The same triangle as an outline in the glyph's pixel coordinates: the centre of each glyph
// pixel lies inside it exactly when the pixel is black. A screen with more than one device pixel
// per pixel gets the outline, filled at its own resolution.
QPainterPath SpinArrowOutline(bool downArrow);

// One arrow of the pair: a push-button face that steps once when released over it and, while
// the left button is held on it, repeats its step from a timer.
class TTimerSpeedButton : public QWidget {
    Q_OBJECT
public:
    TTimerSpeedButton(bool downButton, QWidget* parent);

    bool IsDownButton() const { return FDownButton; }
    TTimeBtnStates TimeBtnState() const { return FTimeBtnState; }
    void SetTimeBtnState(TTimeBtnStates state);
    // Drawn pressed: the left button is held and the pointer is over the arrow.
    bool IsDrawnPressed() const { return FDown; }
    bool IsHot() const { return FMouseInControl; }

    // The step of this arrow.
    void Click();

    std::function<void()> OnClick;
    // Runs at a left press before the arrow is drawn pressed; the pair moves the focus here.
    std::function<void()> OnLeftMouseDown;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void SetCaptured(bool captured);
    // The mouse went elsewhere without a release reaching the arrow: a modal window took the
    // input, the window lost activation, another widget or a popup took the pointer, or the
    // arrow went away. It ends the hold as a release outside the arrow would.
    void LoseMouse();
    // Another widget or a popup holds the pointer now.
    bool MouseTakenElsewhere() const;
    void ArmRepeatTimer();
    void TimerExpired();
    void SetDrawnPressed(bool down);
    bool Contains(const QPoint& pos) const;
    void DrawGlyph(QPainter& painter) const;
    void DrawFocusRect(QPainter& painter) const;

    QTimer* FRepeatTimer = nullptr;
    TTimeBtnStates FTimeBtnState = tbAllowTimer;
    bool FDownButton;
    QImage FGlyph;
    bool FDown = false;
    // The left button went down on this arrow and has not been released yet.
    bool FDragging = false;
    // The arrow holds the mouse: from a left press until any button is released.
    bool FCaptured = false;
    TReleaseWatch FReleaseWatch{this, [this](Qt::MouseButton) { LoseMouse(); }};
    bool FMouseInControl = false;
};
