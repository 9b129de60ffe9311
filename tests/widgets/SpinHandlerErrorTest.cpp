#include "widgets/SpinTestSupport.h"

#include <stdexcept>

namespace {

// The boxes' change handlers, and their beep, fail on demand. Every error must end at the edge
// of the Qt handler it happened in, be reported once, and leave the box working.
class SpinHandlerErrors : public SpinBoxes {
protected:
    void SetUp() override {
        SpinBoxes::SetUp();
        for (TSpinEdit* box : {Rpm, Adv}) {
            box->OnChange = [this](TSpinEdit* sender) {
                Changes.push_back(sender);
                ChangeValues.push_back(sender->Value());
                if (Failing)
                    throw std::runtime_error("refused");
            };
        }
    }
    void TearDown() override { TestApplication::ClearErrors(); }

    static QStringList Refused(int times) { return QStringList(times, "refused"); }
    static QStringList Reported() { return TestApplication::ReportedErrors; }

    bool Failing = true;
};

TEST_F(SpinHandlerErrors, AUserEditReportsItsHandlersErrorAndTheEditStands) {
    Enter(Rpm);
    TypeText(&Host, "75");
    EXPECT_EQ(Rpm->Text(), "75");
    EXPECT_EQ(ChangeValues, (std::vector<std::int32_t>{7, 75}));
    EXPECT_EQ(Reported(), Refused(2)) << "once for each keystroke";

    // Edits from code through the text box's own functions are the user's kind of edit.
    Rpm->setText("9");
    Rpm->insert("0");
    EXPECT_EQ(Rpm->Text(), "90");
    EXPECT_EQ(Reported(), Refused(4));
    EXPECT_EQ(TestApplication::EscapedErrors, 0);

    Failing = false;
    TypeText(&Host, "1");
    EXPECT_EQ(Rpm->Text(), "901");
    EXPECT_EQ(Reported(), Refused(4));
}

TEST_F(SpinHandlerErrors, AWriteFromCodeHandsTheErrorBackToTheWriter) {
    EXPECT_THROW(Rpm->SetValue(1500), std::runtime_error);
    EXPECT_EQ(Rpm->Text(), "1500");
    EXPECT_THROW(Adv->SetText("7"), std::runtime_error);
    EXPECT_EQ(Changes, (std::vector<TSpinEdit*>{Rpm, Adv})) << "each handler ran once";
    EXPECT_NO_THROW(Rpm->SetValue(1500)) << "the same text again raises nothing";
    EXPECT_TRUE(Reported().isEmpty()) << "the writer decides what to do with it";
}

TEST_F(SpinHandlerErrors, StepsAndBeepsByKeyReportOnceAndTheKeysGoOn) {
    Enter(Rpm);
    Type(&Host, Qt::Key_Up);
    EXPECT_EQ(Rpm->Text(), "1100");
    Rpm->SetBeeper([] { throw std::runtime_error("no sound"); });
    TypeText(&Host, "x");
    EXPECT_EQ(Rpm->Text(), "1100");
    EXPECT_EQ(Reported(), (QStringList{"refused", "no sound"}));
    EXPECT_EQ(TestApplication::EscapedErrors, 0);

    Failing = false;
    Type(&Host, Qt::Key_Down);
    EXPECT_EQ(Rpm->Text(), "1000");
    EXPECT_EQ(Reported().size(), 2);
}

TEST_F(SpinHandlerErrors, LeavingClampsAndReportsAndTheFocusMovesOn) {
    Enter(Rpm);
    TypeText(&Host, "5");
    Enter(Other);
    EXPECT_TRUE(Other->hasFocus());
    EXPECT_EQ(Rpm->Text(), "500");
    EXPECT_EQ(ChangeValues, (std::vector<std::int32_t>{5, 500}));
    EXPECT_EQ(Reported(), Refused(2));
    EXPECT_EQ(TestApplication::EscapedErrors, 0);
}

TEST_F(SpinHandlerErrors, AFailingHeldArrowStopsRepeatingBeforeTheReport) {
    TTimerSpeedButton* up = Rpm->Button()->UpButton();
    const QPoint centre = up->rect().center();
    // The application's box runs an event loop of its own while it is up.
    TestApplication::WhileReporting = [] { Wait(400); };
    FMouse.Press(up, centre);
    ASSERT_TRUE(WaitUntil([] { return !TestApplication::ReportedErrors.isEmpty(); }));
    Wait(300);
    EXPECT_EQ(Rpm->Text(), "1100") << "no step after the one that failed";
    EXPECT_EQ(Reported(), Refused(1));

    FMouse.Release(up, centre);
    EXPECT_EQ(Rpm->Text(), "1200") << "the release still steps";
    EXPECT_EQ(Reported(), Refused(2));
    EXPECT_EQ(TestApplication::EscapedErrors, 0);

    Failing = false;
    FMouse.Press(up, centre);
    ASSERT_TRUE(WaitUntil([this] { return Rpm->Value() >= 1400; })) << "holding repeats again";
    FMouse.Release(up, centre);
    EXPECT_EQ(Reported().size(), 2);
}

} // namespace
