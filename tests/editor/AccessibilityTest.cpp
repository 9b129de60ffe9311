#include "support/Accessibility.h"
#include "editor/EditorFixture.h"
#include "support/QtInput.h"

#include <QLabel>
#include <QLocale>
#include <QPushButton>

namespace {

// The main window as a screen reader meets it, numbers written the English way unless a test
// says otherwise.
class Accessibility : public EditorFixture {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        EditorFixture::SetUp();
    }
    void TearDown() override {
        EditorFixture::TearDown();
        QLocale::setDefault(QLocale::system());
    }
    static QString Name(QObject* object) { return a11y::Of(object)->text(QAccessible::Name); }
    static int ValueOf(QObject* box) {
        return a11y::Of(box)->valueInterface()->currentValue().toInt();
    }
    QString ChartDescription() const {
        return a11y::Of(Form->Chart1)->text(QAccessible::Description);
    }
    // The chart pixel that shows a value, with the axes of the last draw.
    QPoint PixelOf(double rpm, double degrees) const {
        return {Form->Series1->CalcXPosValue(rpm), Form->Series1->CalcYPosValue(degrees)};
    }
};

// A screen reader announces the window the focus is in by its role and title.
TEST_F(Accessibility, TheWindowIsAFrameTitledVarnotelThatHoldsTheControls) {
    QAccessibleInterface* window = a11y::Of(Form.get());
    EXPECT_EQ(window->role(), QAccessible::Window);
    EXPECT_EQ(window->text(QAccessible::Name), "Varnotel");
    EXPECT_TRUE(window->state().active);
    EXPECT_EQ(window->parent()->role(), QAccessible::Application);
    EXPECT_GE(window->parent()->indexOfChild(window), 0) << "a window of the application";
    for (QWidget* control : std::initializer_list<QWidget*>{Form->Chart1, Form->B_SaveIniFile,
                                                            Rpm(1), Adv(13), Form->LinkLabel3})
        EXPECT_GE(window->indexOfChild(a11y::Of(control)), 0)
            << control->objectName().toStdString();
}

TEST_F(Accessibility, EveryBoxIsASpinBoxNamedForItsPointWithTheValueItShows) {
    for (int k = 1; k <= 13; ++k) {
        EXPECT_EQ(a11y::Of(Rpm(k))->role(), QAccessible::SpinBox);
        EXPECT_EQ(Name(Rpm(k)), QString("Engine speed of point %1, RPM").arg(k));
        EXPECT_EQ(Name(Adv(k)), QString("Ignition advance of point %1, degrees").arg(k));
        EXPECT_EQ(ValueOf(Rpm(k)), 1000 * k);
        EXPECT_EQ(ValueOf(Adv(k)), Adv(k)->Value());
    }
}

TEST_F(Accessibility, TheButtonsAndTheLinkAreNamedForWhatTheyDoAndTheLinkCanBeFollowed) {
    for (QPushButton* button : {Form->B_LoadIniFile, Form->B_SaveIniFile})
        EXPECT_EQ(a11y::Of(button)->role(), QAccessible::Button);
    EXPECT_EQ(Name(Form->B_LoadIniFile), "Load");
    EXPECT_EQ(Name(Form->B_SaveIniFile), "Save");

    QAccessibleInterface* link = a11y::Of(Form->LinkLabel3);
    EXPECT_EQ(link->role(), QAccessible::Link);
    EXPECT_TRUE(link->state().linked);
    EXPECT_EQ(link->text(QAccessible::Name), "https://varnotel.example.com");
    link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(Platform.UrlOpener.Opened, QStringList{PublisherAddress});
    EXPECT_EQ(a11y::Of(Form->LinkLabel1)->role(), QAccessible::StaticText)
        << "the column labels carry no link";
}

TEST_F(Accessibility, TheChartIsDescribedByTheCurveItShowsInTheUsersNumbers) {
    QAccessibleInterface* chart = a11y::Of(Form->Chart1);
    EXPECT_EQ(chart->role(), QAccessible::Chart);
    EXPECT_EQ(chart->text(QAccessible::Name), "Ignition advance curve");
    const QString description = ChartDescription();
    EXPECT_TRUE(description.startsWith("Lead-in points: 0 RPM, 5 degrees; 500 RPM, 5 degrees. "
                                       "Point 1: 1,000 RPM, 10 degrees. Point 2:"))
        << description.toStdString();
    EXPECT_TRUE(description.contains(" Point 4: 4,000 RPM, 10 degrees. "))
        << "the chart's own value, not the box's 12";
    EXPECT_TRUE(description.endsWith(" Point 13: 13,000 RPM, 8 degrees."));
    EXPECT_EQ(description.count("Point "), 13);

    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    EXPECT_TRUE(
        ChartDescription().endsWith(QString::fromUtf8(" Point 13: 13\u202F000 RPM, 8 degrees.")))
        << ChartDescription().toStdString();
}

TEST_F(Accessibility, EditsThroughABoxAndThroughADragAreAnnounced) {
    a11y::TRecorder recorder;
    Enter(Adv(4));
    Type(Adv(4), "17");
    EXPECT_EQ(recorder.ValuesOf(Adv(4)), (std::vector<QVariant>{1, 17}));
    EXPECT_TRUE(ChartDescription().contains(" Point 4: 4,000 RPM, 17 degrees. "));
    const auto announced = recorder.Of(Form->Chart1, QAccessible::DescriptionChanged).size();
    EXPECT_GE(announced, 1u);

    // Point 5 dragged from (5000, 10) to (5500, 30) with the mouse.
    qtinput::Mouse mouse;
    mouse.Press(Form->Chart1, PixelOf(5000, 10));
    ASSERT_EQ(MovingPointIndex, 6);
    const QPoint target = PixelOf(5550, 30.5);
    Platform.PointerQuery.Pos = Form->Chart1->mapToGlobal(target);
    mouse.Move(Form->Chart1, target);
    mouse.Release(Form->Chart1, target);
    EXPECT_EQ(ValueOf(Rpm(5)), 5500);
    EXPECT_EQ(ValueOf(Adv(5)), 30);
    EXPECT_EQ(recorder.ValuesOf(Rpm(5)).back(), 5500);
    EXPECT_EQ(recorder.ValuesOf(Adv(5)).back(), 30);
    EXPECT_TRUE(ChartDescription().contains(" Point 5: 5,500 RPM, 30 degrees. "));
    EXPECT_GT(recorder.Of(Form->Chart1, QAccessible::DescriptionChanged).size(), announced);
}

} // namespace
