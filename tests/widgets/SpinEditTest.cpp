#include "widgets/Spin.h"
#include "widgets/SpinButton.h"
#include "widgets/SpinTestSupport.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QContextMenuEvent>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QWheelEvent>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

using namespace spintest;

namespace {

constexpr std::int32_t Int32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t Int32Max = std::numeric_limits<std::int32_t>::max();

// A window with an engine-speed box and an advance box set up as the editor sets up its
// boxes: bounds and increment first, then the value, then the change handler.
class SpinEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureTahoma();
        QGuiApplication::clipboard()->clear();
        FHost = std::make_unique<QWidget>();
        FHost->resize(320, 120);
        Rpm = NewBox(10, 10);
        Rpm->SetIncrement(100);
        Rpm->SetMaxValue(20000);
        Rpm->SetMinValue(500);
        Rpm->SetValue(1000);
        Adv = NewBox(100, 10);
        Adv->SetMaxValue(50);
        Adv->SetMinValue(0);
        Adv->SetValue(10);
        Other = new QPushButton("Other", FHost.get());
        Other->setGeometry(200, 10, 80, 26);
        Rpm->OnChange = [this](TSpinEdit* sender) { Record(sender); };
        Adv->OnChange = [this](TSpinEdit* sender) { Record(sender); };
    }

    void TearDown() override { FHost.reset(); }

    TSpinEdit* NewBox(int left, int top) {
        auto* box = new TSpinEdit(FHost.get());
        box->setFont(Tahoma13());
        box->setGeometry(left, top, 73, 26);
        box->SetBeeper([this] { ++Beeps; });
        return box;
    }

    void Record(TSpinEdit* sender) {
        Changes.push_back(sender);
        ChangeValues.push_back(sender->Value());
    }

    int ChangesOf(const TSpinEdit* box) const {
        int count = 0;
        for (const TSpinEdit* sender : Changes)
            count += sender == box ? 1 : 0;
        return count;
    }

    void Show() { ASSERT_TRUE(ShowActive(*FHost)); }

    // Enters a box the way the Tab key does, leaving it first if it has the focus.
    void Enter(TSpinEdit* box) {
        if (box->hasFocus())
            Other->setFocus(Qt::TabFocusReason);
        box->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(WaitUntil([box] { return box->hasFocus(); }));
    }

    QWidget* Window() const { return FHost.get(); }

    std::unique_ptr<QWidget> FHost;
    TSpinEdit* Rpm = nullptr;
    TSpinEdit* Adv = nullptr;
    QPushButton* Other = nullptr;
    std::vector<TSpinEdit*> Changes;
    std::vector<std::int32_t> ChangeValues;
    int Beeps = 0;
    Mouse FMouse;
};

TEST_F(SpinEditTest, ValueReadsTheTextOrMinValue) {
    const struct {
        const char16_t* text;
        std::int32_t rpm;
    } cases[] = {
        {u"", 500},        {u"-", 500},   {u"+", 500},          {u"1.5", 500},
        {u"1,5", 500},     {u"12a", 500}, {u"12 ", 500},        {u"12\n", 500},
        {u"$", 500},       {u"0x", 500},  {u"2147483648", 500}, {u" 12", 12},
        {u"$1F", 31},      {u"0x1f", 31}, {u"$FFFFFFFF", -1},   {u"-2147483648", Int32Min},
        {u"007", 7},       {u"-0", 0},    {u"+7", 7},           {u"5", 5},
        {u"25000", 25000},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf16(c.text);
        Rpm->SetText(text);
        Adv->SetText(text);
        EXPECT_EQ(Rpm->Value(), c.rpm) << text.toStdString();
        EXPECT_EQ(Adv->Value(), c.rpm == 500 ? 0 : c.rpm) << text.toStdString();
        EXPECT_EQ(Rpm->Text(), text) << "reading never rewrites the text";
    }
}

TEST_F(SpinEditTest, CheckValueClampsUnlessTheBoundsAreEqual) {
    EXPECT_EQ(Rpm->CheckValue(5), 500);
    EXPECT_EQ(Rpm->CheckValue(499), 500);
    EXPECT_EQ(Rpm->CheckValue(500), 500);
    EXPECT_EQ(Rpm->CheckValue(750), 750);
    EXPECT_EQ(Rpm->CheckValue(20000), 20000);
    EXPECT_EQ(Rpm->CheckValue(20001), 20000);
    EXPECT_EQ(Rpm->CheckValue(Int32Min), 500);
    EXPECT_EQ(Rpm->CheckValue(Int32Max), 20000);

    TSpinEdit unbounded;
    for (const std::int32_t v : {Int32Min, -123456, 0, 99, Int32Max})
        EXPECT_EQ(unbounded.CheckValue(v), v);
    unbounded.SetValue(-123456);
    EXPECT_EQ(unbounded.Text(), "-123456");

    TSpinEdit pinned;
    pinned.SetMinValue(7);
    pinned.SetMaxValue(7);
    pinned.SetValue(1);
    EXPECT_EQ(pinned.Text(), "1");
    pinned.SetValue(Int32Max);
    EXPECT_EQ(pinned.Text(), "2147483647");
}

TEST_F(SpinEditTest, WritingValueClampsAndFormats) {
    Rpm->SetValue(25000);
    EXPECT_EQ(Rpm->Text(), "20000");
    Rpm->SetValue(5);
    EXPECT_EQ(Rpm->Text(), "500");
    Rpm->SetValue(750);
    EXPECT_EQ(Rpm->Text(), "750");
    Adv->SetValue(-3);
    EXPECT_EQ(Adv->Text(), "0");

    // Changing the bounds is not a write: the text stays until something writes Value.
    Rpm->SetMinValue(1000);
    EXPECT_EQ(Rpm->Text(), "750");
    EXPECT_EQ(Rpm->Value(), 750);
}

TEST_F(SpinEditTest, DefaultsOfANewBox) {
    TSpinEdit box;
    EXPECT_EQ(box.Text(), "0");
    EXPECT_EQ(box.Value(), 0);
    EXPECT_EQ(box.MinValue(), 0);
    EXPECT_EQ(box.MaxValue(), 0);
    EXPECT_EQ(box.Increment(), 1);
    EXPECT_TRUE(box.EditorEnabled());
    EXPECT_TRUE(box.AutoSelect());
    EXPECT_FALSE(box.isReadOnly());
    ASSERT_NE(box.Button(), nullptr);
    EXPECT_EQ(box.Button()->FocusControl(), &box);
    EXPECT_EQ(box.Button()->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(box.Button()->FocusedButton(), box.Button()->UpButton());
    for (TTimerSpeedButton* arrow : {box.Button()->UpButton(), box.Button()->DownButton()}) {
        EXPECT_EQ(arrow->TimeBtnState(), TTimeBtnStates(tbAllowTimer));
        EXPECT_EQ(arrow->focusPolicy(), Qt::NoFocus);
    }
    EXPECT_FALSE(box.Button()->UpButton()->IsDownButton());
    EXPECT_TRUE(box.Button()->DownButton()->IsDownButton());
}

TEST_F(SpinEditTest, OnChangeRunsOncePerTextChangeAndNotForEqualText) {
    EXPECT_TRUE(Changes.empty()) << "building the boxes raised no handler";

    Rpm->SetValue(800);
    ASSERT_EQ(ChangesOf(Rpm), 1);
    EXPECT_EQ(ChangeValues.back(), 800) << "Value already reads the new text in the handler";

    Rpm->SetValue(800);
    Rpm->SetText("800");
    EXPECT_EQ(ChangesOf(Rpm), 1);

    Rpm->SetValue(25000);
    EXPECT_EQ(ChangesOf(Rpm), 2);
    Rpm->SetValue(30000);
    Rpm->SetValue(20000);
    EXPECT_EQ(ChangesOf(Rpm), 2) << "the box already showed 20000";

    Rpm->SetText("abc");
    EXPECT_EQ(ChangesOf(Rpm), 3);
    EXPECT_EQ(ChangeValues.back(), 500);
    EXPECT_EQ(ChangesOf(Adv), 0);

    TSpinEdit silent;
    silent.SetValue(42);
    silent.SetText("x");
    EXPECT_EQ(silent.Text(), "x");
}

TEST_F(SpinEditTest, OnChangeIsSynchronousAndNests) {
    struct Call {
        TSpinEdit* box;
        std::int32_t value;
        int depth;
    };
    std::vector<Call> calls;
    int depth = 0;
    bool insideWrite = false;
    // The advance box writes the engine-speed box, whose handler corrects its own box.
    Adv->OnChange = [&](TSpinEdit* sender) {
        EXPECT_TRUE(insideWrite);
        ++depth;
        calls.push_back({sender, sender->Value(), depth});
        Rpm->SetValue(sender->Value() * 1000 + 50);
        --depth;
    };
    Rpm->OnChange = [&](TSpinEdit* sender) {
        ++depth;
        calls.push_back({sender, sender->Value(), depth});
        if (sender->Value() % 100 != 0)
            sender->SetValue(sender->Value() / 100 * 100);
        --depth;
    };

    insideWrite = true;
    Adv->SetValue(7);
    insideWrite = false;

    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].box, Adv);
    EXPECT_EQ(calls[0].value, 7);
    EXPECT_EQ(calls[0].depth, 1);
    EXPECT_EQ(calls[1].box, Rpm);
    EXPECT_EQ(calls[1].value, 7050);
    EXPECT_EQ(calls[1].depth, 2);
    EXPECT_EQ(calls[2].box, Rpm);
    EXPECT_EQ(calls[2].value, 7000);
    EXPECT_EQ(calls[2].depth, 3);
    EXPECT_EQ(Rpm->Text(), "7000");
}

TEST_F(SpinEditTest, ArrowStepsWithoutSnappingAndStopAtTheBounds) {
    Rpm->SetValue(750);
    Rpm->UpClick();
    EXPECT_EQ(Rpm->Text(), "850");
    Rpm->DownClick();
    Rpm->DownClick();
    EXPECT_EQ(Rpm->Text(), "650");
    EXPECT_EQ(ChangesOf(Rpm), 4);

    Rpm->SetValue(20000);
    const int before = ChangesOf(Rpm);
    Rpm->UpClick();
    EXPECT_EQ(Rpm->Text(), "20000");
    EXPECT_EQ(ChangesOf(Rpm), before);

    Rpm->SetValue(550);
    Rpm->DownClick();
    EXPECT_EQ(Rpm->Text(), "500");
    Rpm->DownClick();
    EXPECT_EQ(Rpm->Text(), "500");

    // Above the bound without having been clamped: a step down clamps into range.
    Rpm->SetText("25000");
    Rpm->DownClick();
    EXPECT_EQ(Rpm->Text(), "20000");
}

TEST_F(SpinEditTest, StepsFromMinValueWhenTheTextDoesNotConvert) {
    Rpm->SetText("abc");
    Rpm->UpClick();
    EXPECT_EQ(Rpm->Text(), "600");
    Adv->SetText("1.5");
    Adv->UpClick();
    EXPECT_EQ(Adv->Text(), "1");
    Adv->SetText("");
    Adv->DownClick();
    EXPECT_EQ(Adv->Text(), "0");
}

TEST_F(SpinEditTest, StepsWrapAroundIn32Bits) {
    TSpinEdit box;
    box.SetMinValue(-10);
    box.SetMaxValue(Int32Max);
    box.SetIncrement(100);
    box.SetValue(Int32Max);
    box.UpClick();
    EXPECT_EQ(box.Text(), "-10") << "the sum wraps to a large negative number, then clamps";

    TSpinEdit unbounded;
    unbounded.SetIncrement(100);
    unbounded.SetValue(Int32Max);
    unbounded.UpClick();
    EXPECT_EQ(unbounded.Text(), "-2147483549");
    unbounded.SetValue(Int32Min);
    unbounded.SetIncrement(1);
    unbounded.DownClick();
    EXPECT_EQ(unbounded.Text(), "2147483647");
    unbounded.SetIncrement(Int32Min);
    unbounded.SetValue(0);
    unbounded.DownClick();
    EXPECT_EQ(unbounded.Text(), "-2147483648");
}

TEST_F(SpinEditTest, ReadOnlyBoxBeepsInsteadOfStepping) {
    Rpm->setReadOnly(true);
    Rpm->UpClick();
    Rpm->DownClick();
    EXPECT_EQ(Rpm->Text(), "1000");
    EXPECT_EQ(Beeps, 2);
    EXPECT_TRUE(Changes.empty());
}

TEST_F(SpinEditTest, IsValidCharFollowsTheEditorSwitch) {
    const QString decimalPoint = QLocale().decimalPoint();
    auto expectedWhenEditable = [&](char16_t c) {
        if (c == 13)
            return false;
        if (c < 32)
            return true;
        return (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' ||
               QString(QChar(c)) == decimalPoint;
    };
    for (char16_t c = 0; c < 0x300; ++c) {
        Rpm->SetEditorEnabled(true);
        EXPECT_EQ(Rpm->IsValidChar(QChar(c)), expectedWhenEditable(c)) << int(c);
        Rpm->SetEditorEnabled(false);
        EXPECT_EQ(Rpm->IsValidChar(QChar(c)), c < 32 && c != 8 && c != 13) << int(c);
    }
    Rpm->SetEditorEnabled(true);
    EXPECT_TRUE(Rpm->IsValidChar(QChar(8)));
    EXPECT_FALSE(Rpm->IsValidChar(QChar(u' ')));
    EXPECT_FALSE(Rpm->IsValidChar(QChar(u'a')));
    EXPECT_FALSE(Rpm->IsValidChar(QChar(u'$')));
}

TEST_F(SpinEditTest, TheDecimalSeparatorIsTheLocales) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_TRUE(Rpm->IsValidChar(QChar(u',')));
    EXPECT_FALSE(Rpm->IsValidChar(QChar(u'.')));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_TRUE(Rpm->IsValidChar(QChar(u'.')));
    EXPECT_FALSE(Rpm->IsValidChar(QChar(u',')));
    QLocale::setDefault(saved);
}

TEST_F(SpinEditTest, TypedCharactersAreFilteredWithABeep) {
    Show();
    Enter(Rpm);
    TypeText(Window(), "-7");
    EXPECT_EQ(Rpm->Text(), "-7");
    EXPECT_EQ(ChangesOf(Rpm), 2) << "one change per accepted keystroke";
    EXPECT_EQ(ChangeValues.back(), -7);
    EXPECT_EQ(Beeps, 0);

    TypeText(Window(), "a Z$");
    EXPECT_EQ(Rpm->Text(), "-7");
    EXPECT_EQ(Beeps, 4);
    EXPECT_EQ(ChangesOf(Rpm), 2);

    TypeText(Window(), QString("+") + QLocale().decimalPoint());
    EXPECT_EQ(Rpm->Text(), QString("-7+") + QLocale().decimalPoint());
    EXPECT_EQ(Rpm->Value(), 500);
    EXPECT_EQ(Beeps, 4);

    Type(Window(), Qt::Key_Backspace, "\b");
    Type(Window(), Qt::Key_Backspace, "\b");
    EXPECT_EQ(Rpm->Text(), "-7");
    EXPECT_EQ(Beeps, 4);
}

TEST_F(SpinEditTest, EnterBeepsAndChangesNothing) {
    Show();
    Enter(Rpm);
    Type(Window(), Qt::Key_Return, "\r");
    Type(Window(), Qt::Key_Enter, "\r", Qt::KeypadModifier);
    EXPECT_EQ(Rpm->Text(), "1000");
    EXPECT_EQ(Beeps, 2);
    EXPECT_TRUE(Changes.empty());
}

TEST_F(SpinEditTest, NonEditableBoxRefusesTypingButKeepsItsOtherKeys) {
    Show();
    Rpm->SetEditorEnabled(false);
    Enter(Rpm);
    TypeText(Window(), "12");
    Type(Window(), Qt::Key_Backspace, "\b");
    EXPECT_EQ(Rpm->Text(), "1000");
    EXPECT_EQ(Beeps, 3);

    // Control characters and caret keys are not refused.
    Type(Window(), Qt::Key_End);
    Type(Window(), Qt::Key_A, QString(QChar(1)), Qt::ControlModifier);
    EXPECT_EQ(Rpm->selectedText(), "1000");
    Type(Window(), Qt::Key_Home);
    Type(Window(), Qt::Key_Delete, QString(QChar(0x7f)));
    EXPECT_EQ(Rpm->Text(), "000");
    EXPECT_EQ(Beeps, 3);

    // Stepping still works.
    Rpm->SetValue(1000);
    Type(Window(), Qt::Key_Up);
    EXPECT_EQ(Rpm->Text(), "1100");
}

TEST_F(SpinEditTest, ArrowKeysStepThenReachTheCaret) {
    Show();
    Enter(Rpm);
    Type(Window(), Qt::Key_Up);
    EXPECT_EQ(Rpm->Text(), "1100");
    Type(Window(), Qt::Key_Down);
    Type(Window(), Qt::Key_Down);
    EXPECT_EQ(Rpm->Text(), "900");
    EXPECT_EQ(ChangesOf(Rpm), 3);

    // A held key steps once per repeated press.
    for (int i = 0; i < 3; ++i)
        Type(Window(), Qt::Key_Up, {}, Qt::NoModifier, true);
    EXPECT_EQ(Rpm->Text(), "1200");
    EXPECT_EQ(Beeps, 0);
}

TEST_F(SpinEditTest, PastedTextGoesInUnfiltered) {
    Show();
    Enter(Rpm);
    const struct {
        const char* clip;
        std::int32_t value;
    } cases[] = {{"12\n", 500}, {" 12", 12},         {"$1F", 31},
                 {"0x1f", 31},  {"2147483648", 500}, {"abc", 500}};
    for (const auto& c : cases) {
        QGuiApplication::clipboard()->setText(c.clip);
        Rpm->selectAll();
        const std::size_t before = Changes.size();
        Type(Window(), Qt::Key_V, QString(QChar(0x16)), Qt::ControlModifier);
        EXPECT_EQ(Rpm->Text(), QString(c.clip));
        EXPECT_EQ(Rpm->Value(), c.value) << c.clip;
        EXPECT_EQ(Changes.size(), before + 1) << c.clip;
    }
    EXPECT_EQ(Beeps, 0);
}

TEST_F(SpinEditTest, PasteAndCutOnlyWhenEditableAndWritable) {
    Show();
    Enter(Rpm);
    auto tryPasteAndCut = [&] {
        QGuiApplication::clipboard()->setText("77");
        Rpm->selectAll();
        Type(Window(), Qt::Key_V, QString(QChar(0x16)), Qt::ControlModifier);
        Rpm->selectAll();
        Type(Window(), Qt::Key_Insert, {}, Qt::ShiftModifier);
        Rpm->selectAll();
        Type(Window(), Qt::Key_X, QString(QChar(0x18)), Qt::ControlModifier);
    };

    Rpm->SetEditorEnabled(false);
    tryPasteAndCut();
    EXPECT_EQ(Rpm->Text(), "1000");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "77");

    Rpm->SetEditorEnabled(true);
    Rpm->setReadOnly(true);
    tryPasteAndCut();
    EXPECT_EQ(Rpm->Text(), "1000");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "77");
    EXPECT_EQ(Beeps, 0) << "refused clipboard commands are silent";
    EXPECT_TRUE(Changes.empty());

    // Copy is not affected.
    Rpm->SetEditorEnabled(false);
    Rpm->selectAll();
    Type(Window(), Qt::Key_C, QString(QChar(0x03)), Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "1000");

    Rpm->SetEditorEnabled(true);
    Rpm->setReadOnly(false);
    Rpm->selectAll();
    Type(Window(), Qt::Key_X, QString(QChar(0x18)), Qt::ControlModifier);
    EXPECT_EQ(Rpm->Text(), "");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "1000");
    QGuiApplication::clipboard()->setText("3\r\n");
    Type(Window(), Qt::Key_Insert, {}, Qt::ShiftModifier);
    EXPECT_EQ(Rpm->Text(), "3\r\n");
    EXPECT_EQ(ChangesOf(Rpm), 2);
}

// Opens the box's context menu, runs the command whose label starts with the given text and
// closes the menu. Returns false when the menu has no such command.
bool RunContextMenuCommand(TSpinEdit* box, const QString& label) {
    const QPoint pos(10, 10);
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, box->mapToGlobal(pos));
    QCoreApplication::sendEvent(box, &event);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu)
        return false;
    bool found = false;
    for (QAction* action : menu->actions()) {
        if (action->text().startsWith(label) && action->isEnabled()) {
            action->trigger();
            found = true;
            break;
        }
    }
    menu->close();
    Wait(20);
    return found;
}

TEST_F(SpinEditTest, ContextMenuPasteAndCutAreGatedToo) {
    Show();
    Enter(Rpm);
    QGuiApplication::clipboard()->setText("12\n");
    Rpm->SetEditorEnabled(false);
    Rpm->selectAll();
    RunContextMenuCommand(Rpm, "&Paste");
    Rpm->selectAll();
    RunContextMenuCommand(Rpm, "Cu&t");
    EXPECT_EQ(Rpm->Text(), "1000");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "12\n");

    Rpm->SetEditorEnabled(true);
    Rpm->selectAll();
    ASSERT_TRUE(RunContextMenuCommand(Rpm, "&Paste"));
    EXPECT_EQ(Rpm->Text(), "12\n") << "the line break is kept";
    EXPECT_EQ(Rpm->Value(), 500);
    Rpm->selectAll();
    ASSERT_TRUE(RunContextMenuCommand(Rpm, "Cu&t"));
    EXPECT_EQ(Rpm->Text(), "");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "12\n");
    EXPECT_EQ(Beeps, 0);
}

TEST_F(SpinEditTest, EnteringByTabOrArrowSelectsAllButAClickPlacesTheCaret) {
    Show();
    Enter(Adv);
    Type(Window(), Qt::Key_Tab, "\t");
    ASSERT_TRUE(Other->hasFocus());
    Type(Window(), Qt::Key_Backtab, {}, Qt::ShiftModifier);
    ASSERT_TRUE(Adv->hasFocus());
    EXPECT_EQ(Adv->selectedText(), "10");
    Type(Window(), Qt::Key_Backtab, {}, Qt::ShiftModifier);
    ASSERT_TRUE(Rpm->hasFocus());
    EXPECT_EQ(Rpm->selectedText(), "1000");

    // A left click into the text of a box that does not have the focus.
    FMouse.Pause();
    FMouse.Click(Adv, QPoint(5, 13));
    ASSERT_TRUE(Adv->hasFocus());
    EXPECT_FALSE(Adv->hasSelectedText());
    EXPECT_EQ(Adv->cursorPosition(), 0);

    // A left press on an arrow of a box that does not have the focus.
    TTimerSpeedButton* up = Rpm->Button()->UpButton();
    FMouse.Pause();
    FMouse.Press(up, up->rect().center());
    ASSERT_TRUE(Rpm->hasFocus());
    EXPECT_EQ(Rpm->selectedText(), "1000");
    FMouse.Release(up, up->rect().center());
    EXPECT_EQ(Rpm->Text(), "1100");

    // The same press delivered straight to the arrow moves the focus by itself.
    Enter(Adv);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(3, 3), up->mapToGlobal(QPointF(3, 3)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(up, &press);
    ASSERT_TRUE(Rpm->hasFocus());
    EXPECT_EQ(Rpm->selectedText(), "1100");
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(3, 3), up->mapToGlobal(QPointF(3, 3)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(up, &release);
    EXPECT_EQ(Rpm->Text(), "1200");
}

TEST_F(SpinEditTest, AutoSelectOffLeavesTheSelectionAlone) {
    Show();
    Rpm->SetAutoSelect(false);
    Enter(Adv);
    Rpm->setFocus(Qt::TabFocusReason);
    Rpm->deselect();
    Adv->setFocus(Qt::TabFocusReason);
    Rpm->setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(Rpm->hasFocus());
    EXPECT_FALSE(Rpm->hasSelectedText());
}

TEST_F(SpinEditTest, LeavingTheBoxClampsAnOutOfRangeNumber) {
    Show();
    Enter(Rpm);
    Rpm->SetText("5");
    ASSERT_EQ(ChangesOf(Rpm), 1);
    EXPECT_EQ(ChangeValues.back(), 5) << "the handler saw 5 before the box was left";
    Type(Window(), Qt::Key_Tab, "\t");
    ASSERT_TRUE(Adv->hasFocus());
    EXPECT_EQ(Rpm->Text(), "500");
    EXPECT_EQ(ChangesOf(Rpm), 2);
    EXPECT_EQ(ChangeValues.back(), 500);

    Rpm->SetText("25000");
    Rpm->setFocus(Qt::MouseFocusReason);
    Other->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(Rpm->Text(), "20000");
    EXPECT_EQ(ChangesOf(Rpm), 4);
}

TEST_F(SpinEditTest, LeavingTheBoxKeepsTextThatIsInRangeOrDoesNotConvert) {
    Show();
    for (const char* text : {"abc", "", "-", "1.5", "12\n"}) {
        Enter(Rpm);
        Rpm->SetText(text);
        const std::size_t before = Changes.size();
        Enter(Adv);
        EXPECT_EQ(Rpm->Text(), QString(text));
        EXPECT_EQ(Changes.size(), before);
    }
    for (const char* text : {"+7", "07", "$1F", " 12"}) {
        Enter(Adv);
        Adv->SetText(text);
        const std::size_t before = Changes.size();
        Enter(Rpm);
        EXPECT_EQ(Adv->Text(), QString(text));
        EXPECT_EQ(Changes.size(), before);
    }
}

TEST_F(SpinEditTest, SwitchingWindowsOrOpeningTheMenuIsNotLeavingTheBox) {
    Show();
    Enter(Rpm);
    Rpm->SetText("5");
    Rpm->setCursorPosition(1);

    QWidget elsewhere;
    elsewhere.resize(100, 100);
    ASSERT_TRUE(ShowActive(elsewhere));
    EXPECT_FALSE(Rpm->hasFocus());
    EXPECT_EQ(Rpm->Text(), "5");

    ASSERT_TRUE(ShowActive(*FHost));
    ASSERT_TRUE(WaitUntil([this] { return Rpm->hasFocus(); }));
    EXPECT_EQ(Rpm->Text(), "5");
    EXPECT_FALSE(Rpm->hasSelectedText()) << "coming back to the window is not entering the box";

    RunContextMenuCommand(Rpm, "&Copy");
    EXPECT_EQ(Rpm->Text(), "5");
    EXPECT_EQ(ChangesOf(Rpm), 1);
}

TEST_F(SpinEditTest, TheWheelDoesNothing) {
    Show();
    Enter(Rpm);
    for (QWidget* target :
         {static_cast<QWidget*>(Rpm), static_cast<QWidget*>(Rpm->Button()->UpButton())}) {
        for (const int delta : {120, -120}) {
            QWheelEvent wheel(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(),
                              QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                              false);
            QCoreApplication::sendEvent(target, &wheel);
        }
    }
    EXPECT_EQ(Rpm->Text(), "1000");
    EXPECT_TRUE(Changes.empty());
}

TEST_F(SpinEditTest, LayoutOfA73By26Box) {
    if (!EnsureTahoma())
        GTEST_SKIP() << "no Tahoma face on this machine";
    Show();
    EXPECT_EQ(Rpm->size(), QSize(73, 26));
    EXPECT_EQ(Rpm->minimumHeight(), 26);
    TSpinButton* pair = Rpm->Button();
    // Client (53, 0) inside the 2-pixel border.
    EXPECT_EQ(pair->geometry(), QRect(55, 2, 15, 21));
    EXPECT_EQ(pair->UpButton()->geometry(), QRect(0, 0, 15, 10));
    EXPECT_EQ(pair->DownButton()->geometry(), QRect(0, 9, 15, 12));

    // The text never runs under the arrows: the caret of a long text stays left of them.
    Rpm->SetText("12345678901234567890");
    Rpm->setCursorPosition(Rpm->Text().size());
    Rpm->repaint();
    EXPECT_LE(Rpm->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x(), 54);
    EXPECT_GT(Rpm->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x(), 40);
    Rpm->setCursorPosition(0);
    Rpm->repaint();
    EXPECT_GE(Rpm->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x(), 2);
}

TEST_F(SpinEditTest, LayoutFollowsEveryResize) {
    Show();
    Rpm->resize(100, 30);
    TSpinButton* pair = Rpm->Button();
    EXPECT_EQ(pair->geometry(), QRect(82, 2, 15, 25));
    EXPECT_EQ(pair->UpButton()->geometry(), QRect(0, 0, 15, 12));
    EXPECT_EQ(pair->DownButton()->geometry(), QRect(0, 11, 15, 14));
    Rpm->resize(73, 26);
    EXPECT_EQ(pair->geometry(), QRect(55, 2, 15, 21));
}

TEST_F(SpinEditTest, MinimumHeightFollowsTheFont) {
    if (!EnsureTahoma())
        GTEST_SKIP() << "no Tahoma face on this machine";
    Show();
    // Tahoma at 13 pixels: line height 16, plus 16 / 4, plus 4 border pixels, plus 2.
    Rpm->resize(73, 20);
    EXPECT_EQ(Rpm->height(), 26);
    Rpm->setGeometry(10, 10, 73, 24);
    EXPECT_EQ(Rpm->height(), 26);
    Rpm->resize(73, 40);
    EXPECT_EQ(Rpm->height(), 40);
    EXPECT_EQ(Rpm->Button()->height(), 35);

    // At 20 pixels the line height is 24, and the leading stops at a quarter of 16.
    QFont big = Tahoma13();
    big.setPixelSize(20);
    Rpm->setFont(big);
    EXPECT_EQ(Rpm->minimumHeight(), 24 + 4 + 4 + 2);
    EXPECT_EQ(Rpm->height(), 40);
    // At 8 pixels the line height is 10, and the leading is a quarter of it.
    QFont small = Tahoma13();
    small.setPixelSize(8);
    Rpm->setFont(small);
    EXPECT_EQ(Rpm->minimumHeight(), 10 + 2 + 4 + 2);
    Rpm->resize(73, 5);
    EXPECT_EQ(Rpm->height(), 18);
}

TEST_F(SpinEditTest, TheBorderIsPaintedAroundTheText) {
    Show();
    const QImage image = Rpm->grab().toImage();
    const QColor base = Rpm->palette().color(QPalette::Base);
    // The border's shaded edges: both rows at the top and left, the inner row at the bottom
    // and right (the outer one there is the light edge, as light as the text's background).
    for (const QPoint p : {QPoint(0, 13), QPoint(1, 13), QPoint(30, 0), QPoint(30, 1),
                           QPoint(71, 13), QPoint(30, 24)})
        EXPECT_NE(image.pixelColor(p), base) << p.x() << "," << p.y();
    EXPECT_EQ(image.pixelColor(QPoint(2, 3)), base);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
