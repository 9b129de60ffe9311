#include "editor/Unit1.h"

#include <QAccessibleWidget>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <iterator>

namespace {

// The curve's numbers as the user's locale writes them: "13,000" in English, "13 000" in
// French.
QString LocaleNumber(double value) {
    return QLocale().toString(value, 'f', QLocale::FloatingPointShortest);
}

QString PointText(double rpm, double degrees) {
    return QString("%1 RPM, %2 %3")
        .arg(LocaleNumber(rpm), LocaleNumber(degrees), degrees == 1 ? "degree" : "degrees");
}

// The main window is a frame, which Qt names by its title, so that a screen reader can say
// which window the focus is in; a plain widget would be an unnamed pane.
QAccessibleInterface* Form1AccessibleFactory(const QString& className, QObject* object) {
    if (className != QLatin1String("TForm1"))
        return nullptr;
    auto* form = qobject_cast<TForm1*>(object);
    return form ? new QAccessibleWidget(form, QAccessible::Window) : nullptr;
}

} // namespace

// Qt keeps the first accessible object it makes for a widget. Setting the title already makes
// one (Qt 6.8 does), so the frame's factory must be there before the window is given anything.
void TForm1::ServeAsAccessibleFrame() {
    static const bool installed = [] {
        QAccessible::installFactory(Form1AccessibleFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

// What a screen reader says for each control, beyond what the controls say themselves.
void TForm1::DescribeForAssistiveTechnology() {
    Chart1->setAccessibleName("Ignition advance curve");
    Chart1->AccessibleDescriptionText = [this] { return CurveDescription(); };
    for (int k = 1; k <= static_cast<int>(std::size(SpinEditRPM)); ++k) {
        SpinEditRPM[k - 1]->setAccessibleName(QString("Engine speed of point %1, RPM").arg(k));
        SpinEditADV[k - 1]->setAccessibleName(
            QString("Ignition advance of point %1, degrees").arg(k));
    }
    const QString file = QFileInfo(QString::fromLatin1(CurveFileName)).fileName();
    B_LoadIniFile->setAccessibleDescription(QString("Reads the curve from %1").arg(file));
    B_SaveIniFile->setAccessibleDescription(QString("Writes the curve to %1").arg(file));
    LinkLabel3->setAccessibleDescription("Opens the publisher's web page");
}

// The curve as the chart shows it, which can differ from what the boxes show.
QString TForm1::CurveDescription() const {
    const TChartValueList* x = Series1->XValues();
    const TChartValueList* y = Series1->YValues();
    QStringList leadIn;
    QStringList points;
    for (int n = 0; n < x->Count(); ++n) {
        const QString point = PointText(x->Value(n), y->Value(n));
        if (n < 2)
            leadIn << point;
        else
            points << QString("Point %1: %2.").arg(n - 1).arg(point);
    }
    return QString("Lead-in points: %1. %2").arg(leadIn.join("; "), points.join(' '));
}
