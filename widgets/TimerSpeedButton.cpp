#include "widgets/TimerSpeedButton.h"

#include "platform/ErrorReport.h"
#include "platform/MouseLoss.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>
#include <QTimer>

#include <cmath>

namespace {

constexpr int GlyphWidth = 9;
constexpr int GlyphHeight = 6;
// Black pixels per row of the up arrow, from the top; the down arrow has them bottom up.
constexpr int UpGlyphRows[GlyphHeight] = {0, 1, 3, 5, 7, 0};
constexpr int GlyphCentreColumn = 4;

QImage Tinted(const QImage& glyph, const QColor& colour) {
    QImage image = glyph;
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), colour);
    return image;
}

} // namespace

QImage SpinArrowGlyph(bool downArrow) {
    QImage image(GlyphWidth, GlyphHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    for (int row = 0; row < GlyphHeight; ++row) {
        const int count = downArrow ? UpGlyphRows[GlyphHeight - 1 - row] : UpGlyphRows[row];
        const int first = GlyphCentreColumn - count / 2;
        for (int i = 0; i < count; ++i)
            image.setPixel(first + i, row, qRgb(0, 0, 0));
    }
    return image;
}

QPainterPath SpinArrowOutline(bool downArrow) {
    // Row k below the tip holds 2k - 1 pixels, so the sides run at one pixel sideways for each
    // pixel down, from the tip's top edge to the bottom edge of the widest row.
    const double tip = downArrow ? GlyphHeight - 1 : 1;
    const double base = downArrow ? 1 : GlyphHeight - 1;
    const double centre = GlyphCentreColumn + 0.5;
    const double half = std::abs(base - tip);
    QPainterPath path;
    path.moveTo(centre, tip);
    path.lineTo(centre + half, base);
    path.lineTo(centre - half, base);
    path.closeSubpath();
    return path;
}

TTimerSpeedButton::TTimerSpeedButton(bool downButton, QWidget* parent)
    : QWidget(parent), FDownButton(downButton), FGlyph(SpinArrowGlyph(downButton)) {
    setFocusPolicy(Qt::NoFocus);
}

void TTimerSpeedButton::SetTimeBtnState(TTimeBtnStates state) {
    FTimeBtnState = state;
    update();
}

void TTimerSpeedButton::Click() {
    if (OnClick)
        OnClick();
}

void TTimerSpeedButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionButton option;
    option.initFrom(this);
    option.state &= ~QStyle::State_MouseOver;
    option.state |= FDown ? QStyle::State_Sunken : QStyle::State_Raised;
    if (FMouseInControl && isEnabled())
        option.state |= QStyle::State_MouseOver;
    style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &option, &painter, this);
    DrawGlyph(painter);
    DrawFocusRect(painter);
}

void TTimerSpeedButton::DrawGlyph(QPainter& painter) const {
    const int shift = FDown ? 1 : 0;
    const QPoint origin((width() - GlyphWidth) / 2 + shift, (height() - GlyphHeight) / 2 + shift);
    const bool devicePixels = painter.device()->devicePixelRatio() == 1;
    auto draw = [&](const QPoint& at, const QColor& colour) {
        if (devicePixels) {
            painter.drawImage(at, Tinted(FGlyph, colour));
            return;
        }
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(SpinArrowOutline(FDownButton).translated(at), colour);
        painter.restore();
    };
    if (isEnabled()) {
        if (devicePixels)
            painter.drawImage(origin, FGlyph);
        else
            draw(origin, Qt::black);
        return;
    }
    // Disabled arrows are embossed: a light copy below right, the shaded glyph over it.
    draw(origin + QPoint(1, 1), palette().color(QPalette::Light));
    draw(origin, palette().color(QPalette::Disabled, QPalette::ButtonText));
}

void TTimerSpeedButton::DrawFocusRect(QPainter& painter) const {
    if (!(FTimeBtnState & tbFocusRect))
        return;
    const int shift = FDown ? 1 : 0;
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect().adjusted(3, 3, -3, -3).translated(shift, shift);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

void TTimerSpeedButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        SetCaptured(true);
        FDragging = true;
        if (OnLeftMouseDown)
            OnLeftMouseDown();
        SetDrawnPressed(true);
    }
    if (FTimeBtnState & tbAllowTimer)
        ArmRepeatTimer();
    event->accept();
}

// The second press of a double click arrives as a double-click event: it presses like any
// other, so a double click steps twice.
void TTimerSpeedButton::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

// The arrows are not part of the text: a right click on them opens no text menu, which would
// also take over the mouse while an arrow is held.
void TTimerSpeedButton::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
}

void TTimerSpeedButton::mouseMoveEvent(QMouseEvent* event) {
    if (FDragging)
        SetDrawnPressed(Contains(event->position().toPoint()));
    event->accept();
}

void TTimerSpeedButton::mouseReleaseEvent(QMouseEvent* event) {
    if (FRepeatTimer)
        FRepeatTimer->stop();
    SetCaptured(false);
    if (event->button() == Qt::LeftButton && FDragging) {
        FDragging = false;
        SetDrawnPressed(false);
        if (Contains(event->position().toPoint()))
            HandleErrors([this] { Click(); });
    }
    event->accept();
}

void TTimerSpeedButton::enterEvent(QEnterEvent*) {
    FMouseInControl = true;
    update();
}

void TTimerSpeedButton::leaveEvent(QEvent*) {
    FMouseInControl = false;
    update();
}

void TTimerSpeedButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange)
        update();
    QWidget::changeEvent(event);
}

bool TTimerSpeedButton::event(QEvent* event) {
    if (LosesMouse(*event))
        LoseMouse();
    return QWidget::event(event);
}

void TTimerSpeedButton::LoseMouse() {
    if (FRepeatTimer)
        FRepeatTimer->stop();
    SetCaptured(false);
    FDragging = false;
    SetDrawnPressed(false);
}

// While the arrow holds the mouse, a release that another widget gets (a popup or another
// grab took the pointer, if only for a moment) ends the hold.
void TTimerSpeedButton::SetCaptured(bool captured) {
    FCaptured = captured;
    FReleaseWatch.SetArmed(captured);
}

bool TTimerSpeedButton::MouseTakenElsewhere() const {
    const QWidget* grabber = QWidget::mouseGrabber();
    if (grabber && grabber != this)
        return true;
    const QWidget* popup = QApplication::activePopupWidget();
    return popup && popup != window();
}

void TTimerSpeedButton::ArmRepeatTimer() {
    if (!FRepeatTimer) {
        FRepeatTimer = new QTimer(this);
        FRepeatTimer->setTimerType(Qt::PreciseTimer);
        connect(FRepeatTimer, &QTimer::timeout, this, [this] { TimerExpired(); });
    }
    FRepeatTimer->setInterval(InitRepeatPause);
    FRepeatTimer->start();
}

void TTimerSpeedButton::TimerExpired() {
    // Some takeovers of the pointer tell the arrow nothing; the next tick notices them.
    if (FCaptured && MouseTakenElsewhere()) {
        LoseMouse();
        return;
    }
    FRepeatTimer->setInterval(RepeatPause);
    if (!FDown || !FCaptured)
        return;
    // A failing step must not keep repeating, also while its error is being reported.
    HandleErrors([this] { Click(); }, [this] { FRepeatTimer->stop(); });
}

void TTimerSpeedButton::SetDrawnPressed(bool down) {
    if (FDown == down)
        return;
    FDown = down;
    update();
}

bool TTimerSpeedButton::Contains(const QPoint& pos) const {
    return rect().contains(pos);
}
