#include "support/Accessibility.h"
#include "widgets/SpinTestSupport.h"

#include <cmath>
#include <limits>

namespace {

// The engine-speed box (1000, step 100, 500 to 20000) as a screen reader meets it.
class SpinAccessibility : public SpinBoxes {
protected:
    void SetUp() override {
        SpinBoxes::SetUp();
        Rpm->setAccessibleName("Engine speed");
    }
    QAccessibleInterface* Box() const { return a11y::Of(Rpm); }
    QAccessibleValueInterface* Value() const { return Box()->valueInterface(); }
    QAccessibleInterface* Arrow(int index) const { return Box()->child(index); }
};

TEST_F(SpinAccessibility, TheBoxIsANamedSpinBoxWhoseValueIsWhatItsTextReads) {
    ASSERT_NE(Box(), nullptr);
    EXPECT_EQ(Box()->role(), QAccessible::SpinBox);
    EXPECT_EQ(Box()->text(QAccessible::Name), "Engine speed");
    ASSERT_NE(Value(), nullptr);
    EXPECT_EQ(Value()->currentValue().toInt(), 1000);
    EXPECT_EQ(Value()->minimumValue().toInt(), 500);
    EXPECT_EQ(Value()->maximumValue().toInt(), 20000);
    EXPECT_EQ(Value()->minimumStepSize().toInt(), 100);
    EXPECT_EQ(Box()->text(QAccessible::Value), "1000");

    Enter(Rpm);
    Type(&Host, Qt::Key_5, "5");
    EXPECT_EQ(Value()->currentValue().toInt(), 5) << "typed text is not clamped until it is left";
    Rpm->SetText("abc");
    EXPECT_EQ(Value()->currentValue().toInt(), 500) << "text that does not convert reads low";
    EXPECT_EQ(Box()->text(QAccessible::Value), "abc");

    TSpinEdit unbounded(&Host);
    QAccessibleValueInterface* value = a11y::Of(&unbounded)->valueInterface();
    EXPECT_EQ(value->minimumValue().toInt(), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(value->maximumValue().toInt(), std::numeric_limits<std::int32_t>::max());
}

TEST_F(SpinAccessibility, AValueSetByAssistiveTechnologyIsWrittenAsTheArrowsWriteTheirs) {
    Value()->setCurrentValue(1234.6);
    EXPECT_EQ(Rpm->Text(), "1235");
    Value()->setCurrentValue(1e12);
    EXPECT_EQ(Rpm->Text(), "20000");
    Value()->setCurrentValue(-1e12);
    EXPECT_EQ(Rpm->Text(), "500");
    EXPECT_EQ(ChangeValues, (std::vector<std::int32_t>{1235, 20000, 500}));

    for (const QVariant& bad : {QVariant("many"), QVariant(std::nan("")), QVariant()})
        Value()->setCurrentValue(bad);
    Value()->setCurrentValue(500);
    Rpm->setReadOnly(true);
    Value()->setCurrentValue(700);
    EXPECT_EQ(Rpm->Text(), "500");
    EXPECT_EQ(Changes.size(), 3u);
}

TEST_F(SpinAccessibility, TheArrowsAreButtonsOfTheBoxThatStepItWhenPressed) {
    ASSERT_EQ(Box()->childCount(), 2);
    const QString press = QAccessibleActionInterface::pressAction();
    for (int i = 0; i < 2; ++i) {
        QAccessibleInterface* arrow = Arrow(i);
        ASSERT_NE(arrow, nullptr);
        EXPECT_EQ(arrow->role(), QAccessible::Button);
        EXPECT_EQ(arrow->text(QAccessible::Description), "Engine speed");
        EXPECT_EQ(arrow->parent(), Box());
        EXPECT_EQ(Box()->indexOfChild(arrow), i);
        EXPECT_EQ(arrow->actionInterface()->actionNames(), QStringList{press});
        const QPoint centre = arrow->rect().center();
        EXPECT_EQ(Box()->childAt(centre.x(), centre.y()), arrow);
    }
    EXPECT_EQ(Arrow(0)->text(QAccessible::Name), "Increase");
    EXPECT_EQ(Arrow(1)->text(QAccessible::Name), "Decrease");

    Arrow(0)->actionInterface()->doAction(press);
    Arrow(1)->actionInterface()->doAction(press);
    Arrow(1)->actionInterface()->doAction(press);
    EXPECT_EQ(ChangeValues, (std::vector<std::int32_t>{1100, 1000, 900}));
    // The box offers the same steps itself.
    Box()->actionInterface()->doAction(QAccessibleActionInterface::increaseAction());
    EXPECT_EQ(Rpm->Value(), 1000);

    Rpm->setReadOnly(true);
    Arrow(0)->actionInterface()->doAction(press);
    EXPECT_EQ(Beeps, 1) << "a read-only box answers a press as it answers a click";
    Rpm->setReadOnly(false);
    Rpm->setEnabled(false);
    Arrow(0)->actionInterface()->doAction(press);
    EXPECT_EQ(Rpm->Value(), 1000) << "a disabled arrow cannot be pressed";
    EXPECT_EQ(Beeps, 1);
}

TEST_F(SpinAccessibility, EveryNewValueIsAnnouncedBeforeTheChangeHandlerRuns) {
    a11y::TRecorder recorder;
    std::vector<std::size_t> announcedAtChange;
    Rpm->OnChange = [&](TSpinEdit*) { announcedAtChange.push_back(recorder.ValuesOf(Rpm).size()); };

    Arrow(0)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    Enter(Rpm);
    Type(&Host, Qt::Key_7, "7");
    Rpm->SetText("7");
    Rpm->SetValue(30000);
    EXPECT_EQ(recorder.ValuesOf(Rpm), (std::vector<QVariant>{1100, 7, 20000}))
        << "no announcement when a write leaves the text as it is";
    EXPECT_EQ(announcedAtChange, (std::vector<std::size_t>{1, 2, 3}));
    EXPECT_TRUE(recorder.ValuesOf(Adv).empty());
}

TEST_F(SpinAccessibility, TheTextCanBeReadAndSelectedAsInAnyTextBox) {
    QAccessibleTextInterface* text = Box()->textInterface();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(-5, 99), "1000");
    Enter(Rpm);
    int start = -1;
    int end = -1;
    text->selection(0, &start, &end);
    EXPECT_EQ(std::make_pair(start, end), std::make_pair(0, 4)) << "entering selects it all";
    text->setSelection(0, 1, 3);
    EXPECT_EQ(Rpm->selectedText(), "00");

    // Each character lies inside the box, right of the one before it, where a press would put
    // the caret before it.
    const QRect box(Rpm->mapToGlobal(QPoint(0, 0)), Rpm->size());
    int previousRight = box.left();
    for (int i = 0; i < 4; ++i) {
        const QRect r = text->characterRect(i);
        EXPECT_TRUE(box.contains(r)) << i;
        EXPECT_GE(r.left(), previousRight) << i;
        previousRight = r.right();
        EXPECT_EQ(text->offsetAtPoint(QPoint(r.left() + r.width() / 4, r.center().y())), i);
    }
    EXPECT_TRUE(text->characterRect(4).isEmpty());
    EXPECT_EQ(text->offsetAtPoint(box.topLeft() - QPoint(5, 5)), -1);
}

} // namespace
