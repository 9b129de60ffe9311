#include "chart/ChartAccessible.h"

#include "chart/Chart.h"

#include <QAccessibleWidget>

namespace {

class TChartAccessible : public QAccessibleWidget {
public:
    explicit TChartAccessible(TChart* chart) : QAccessibleWidget(chart, QAccessible::Chart) {}

    QString text(QAccessible::Text t) const override {
        const TChart* chart = static_cast<const TChart*>(widget());
        if (t == QAccessible::Description && chart->AccessibleDescriptionText)
            return chart->AccessibleDescriptionText();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* ChartAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("TChart")) {
        if (auto* chart = qobject_cast<TChart*>(object))
            return new TChartAccessible(chart);
    }
    return nullptr;
}

} // namespace

void InstallChartAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(ChartAccessibleFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

void TChart::DoOnAfterDraw() {
    TCustomChart::DoOnAfterDraw();
    AnnounceDescription();
}

// Every change of the data is followed by a draw, so a description built from the data can
// only have changed at the end of one. Nothing is built while no assistive technology listens.
void TChart::AnnounceDescription() {
    if (!AccessibleDescriptionText || !QAccessible::isActive())
        return;
    QString description = AccessibleDescriptionText();
    if (description == FAnnouncedDescription)
        return;
    FAnnouncedDescription = std::move(description);
    QAccessibleEvent event(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&event);
}
