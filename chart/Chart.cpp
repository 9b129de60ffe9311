#include "chart/Chart.h"

#include <QPainter>

TChart::TChart(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

TChart::~TChart() = default;

TLineSeries* TChart::AddSeries(std::unique_ptr<TLineSeries> series) {
    series->SetParentChart(nullptr);
    FSeries.push_back(std::move(series));
    return FSeries.back().get();
}

void TChart::Invalidate() {
    FDirty = true;
    update();
}

void TChart::Repaint() {
    Invalidate();
    if (isVisible())
        repaint();
    else
        FullDraw();
}

void TChart::FullDraw() {
    ++FDrawCount;
    FDirty = false;
}

void TChart::paintEvent(QPaintEvent*) {
    if (FDirty)
        FullDraw();
    QPainter painter(this);
    painter.fillRect(rect(), palette().button());
}
