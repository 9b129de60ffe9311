#include "widgets/SpinTestSupport.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QLocale>
#include <QMenu>
#include <QWheelEvent>
#include <limits>
#include <tuple>

namespace {

constexpr std::int32_t Int32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t Int32Max = std::numeric_limits<std::int32_t>::max();

class SpinEditTest : public SpinBoxes {
protected:
    // Selects the whole text of the engine-speed box and runs a command on it: keys such as
    // "Ctrl+V", or "menu " and the start of a context menu label. False when the menu has no
    // such enabled command.
    bool Run(const QString& command) {
        Rpm->selectAll();
        if (!command.startsWith("menu ")) {
            const QKeyCombination keys = QKeySequence(command)[0];
            Type(&Host, keys.key(), {}, keys.keyboardModifiers());
            return true;
        }
        QContextMenuEvent event(QContextMenuEvent::Mouse, {9, 9}, Rpm->mapToGlobal(QPoint(9, 9)));
        QCoreApplication::sendEvent(Rpm, &event);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QAction* found = nullptr;
        for (QAction* action : menu ? menu->actions() : QList<QAction*>())
            if (!found && action->isEnabled() && action->text().startsWith(command.mid(5)))
                found = action;
        if (found)
            found->trigger();
        if (menu)
            menu->close();
        QCoreApplication::processEvents();
        return found;
    }
};

TEST_F(SpinEditTest, ValueReadsTheTextOrMinValueAndNeverClamps) {
    const struct {
        const char16_t* text;
        std::int32_t rpm; // the advance box reads 0 where the engine-speed box reads 500
    } rows[] = {{u"", 500},    {u"-", 500},       {u"+", 500},   {u"1.5", 500},
                {u"1,5", 500}, {u"12a", 500},     {u"12 ", 500}, {u"12\n", 500},
                {u" 12", 12},  {u"$1F", 31},      {u"0x1f", 31}, {u"2147483648", 500},
                {u"5", 5},     {u"25000", 25000}, {u"-0", 0},    {u"-2147483648", Int32Min}};
    for (const auto& row : rows) {
        const QString text = QString::fromUtf16(row.text);
        Rpm->SetText(text);
        Adv->SetText(text);
        EXPECT_EQ(Rpm->Value(), row.rpm) << text.toStdString();
        EXPECT_EQ(Adv->Value(), row.rpm == 500 ? 0 : row.rpm) << text.toStdString();
        EXPECT_EQ(Rpm->Text(), text) << "reading never rewrites the text";
    }
}

TEST_F(SpinEditTest, OnChangeRunsOncePerTextChangeSynchronouslyAndNested) {
    EXPECT_TRUE(Changes.empty()) << "setting up the boxes raised no handler";
    Rpm->SetValue(800);
    EXPECT_EQ(ChangeValues, std::vector<std::int32_t>{800}) << "Value reads the new text";
    Rpm->SetValue(800);
    Rpm->SetText("800");
    Rpm->SetValue(25000);
    Rpm->SetValue(30000); // shows 20000 already
    Rpm->SetValue(5);
    Rpm->SetMinValue(1000);
    EXPECT_EQ(Rpm->Text(), "500") << "changing a bound is not a write";
    Rpm->SetText("abc");
    EXPECT_EQ(ChangeValues, (std::vector<std::int32_t>{800, 20000, 500, 1000}));
    EXPECT_EQ(Changes, std::vector<TSpinEdit*>(4, Rpm));

    std::vector<std::tuple<TSpinEdit*, std::int32_t, int>> calls; // box, value, depth
    int depth = 0;
    // The advance box writes the engine-speed box, whose handler corrects its own box.
    Adv->OnChange = [&](TSpinEdit* sender) {
        calls.emplace_back(sender, sender->Value(), ++depth);
        Rpm->SetValue(sender->Value() * 1000 + 50);
        --depth;
    };
    Rpm->OnChange = [&](TSpinEdit* sender) {
        calls.emplace_back(sender, sender->Value(), ++depth);
        sender->SetValue(sender->Value() / 100 * 100);
        --depth;
    };
    Adv->SetValue(7);
    EXPECT_EQ(calls, (decltype(calls){{Adv, 7, 1}, {Rpm, 7050, 2}, {Rpm, 7000, 3}}));
}

TEST_F(SpinEditTest, StepsFromTheValueReadWrapIn32BitsAndClamp) {
    TSpinEdit* wide = NewBox(0, 100, -10, Int32Max, 0);
    TSpinEdit* unbounded = NewBox(0, 100, 0, 0, 0);
    const std::tuple<TSpinEdit*, const char*, bool, const char*> rows[] = {
        {Rpm, "750", true, "850"},
        {Rpm, "750", false, "650"},
        {Rpm, "20000", true, "20000"},
        {Rpm, "abc", true, "600"},
        {Adv, "1.5", true, "1"},
        {wide, "2147483647", true, "-10"},
        {unbounded, "-2147483648", false, "2147483548"}};
    for (const auto& [box, text, up, result] : rows) {
        box->SetText(text);
        const std::size_t before = Changes.size();
        up ? box->UpClick() : box->DownClick();
        EXPECT_EQ(box->Text(), result) << text << (up ? " up" : " down");
        EXPECT_EQ(Changes.size() - before, QString(text) != result ? 1u : 0u) << text;
    }
    Rpm->setReadOnly(true);
    Rpm->UpClick();
    Rpm->DownClick();
    EXPECT_EQ(Rpm->Text(), "600") << "a read-only box beeps instead of stepping";
    EXPECT_EQ(Beeps, 2);
}

TEST_F(SpinEditTest, IsValidCharFollowsTheEditorSwitchAndTheLocale) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const std::tuple<char16_t, bool, bool> rows[] = {
        // editable, not editable
        {u'0', true, false},  {u'9', true, false},  {u'+', true, false},  {u'-', true, false},
        {u'.', true, false},  {8, true, false},     {0, true, true},      {31, true, true},
        {13, false, false},   {u' ', false, false}, {u'a', false, false}, {u'$', false, false},
        {u'/', false, false}, {u':', false, false}, {u',', false, false}, {0x661, false, false}};
    for (const auto& [c, editable, notEditable] : rows) {
        Rpm->SetEditorEnabled(true);
        EXPECT_EQ(Rpm->IsValidChar(QChar(c)), editable) << int(c);
        Rpm->SetEditorEnabled(false);
        EXPECT_EQ(Rpm->IsValidChar(QChar(c)), notEditable) << int(c);
    }
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_TRUE(Adv->IsValidChar(QChar(u',')));
    EXPECT_FALSE(Adv->IsValidChar(QChar(u'.')));
    QLocale::setDefault(saved);
}

TEST_F(SpinEditTest, TypedCharactersAreFilteredWithABeep) {
    Enter(Rpm);
    TypeText(&Host, "-7");
    EXPECT_EQ(ChangeValues, (std::vector<std::int32_t>{500, -7})) << "one per keystroke";
    TypeText(&Host, "a Z$");
    Type(&Host, Qt::Key_Return, "\r");
    Type(&Host, Qt::Key_Enter, "\r", Qt::KeypadModifier);
    EXPECT_EQ(Rpm->Text(), "-7");
    EXPECT_EQ(Beeps, 6);
    EXPECT_EQ(Changes.size(), 2u);
    TypeText(&Host, QString("+") + QLocale().decimalPoint());
    Type(&Host, Qt::Key_Backspace, "\b");
    Type(&Host, Qt::Key_Home);
    Type(&Host, Qt::Key_Delete, QString(QChar(0x7f))); // the key, not a typed character
    Type(&Host, Qt::Key_A, QString(QChar(1)), Qt::ControlModifier);
    EXPECT_EQ(Rpm->selectedText(), "7+");
    EXPECT_EQ(Beeps, 6);
}

TEST_F(SpinEditTest, ArrowKeysStepOncePerPressAndTheWheelDoesNothing) {
    Enter(Rpm);
    Type(&Host, Qt::Key_Up);
    Type(&Host, Qt::Key_Down);
    Type(&Host, Qt::Key_Down);
    for (int i = 0; i < 3; ++i)
        Type(&Host, Qt::Key_Up, {}, Qt::NoModifier, true);
    EXPECT_EQ(ChangeValues, (std::vector<std::int32_t>{1100, 1000, 900, 1000, 1100, 1200}));
    QWheelEvent wheel(QPointF(5, 5), Rpm->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(Rpm, &wheel);
    EXPECT_EQ(Rpm->Text(), "1200");
}

TEST_F(SpinEditTest, PastedTextGoesInUnfiltered) {
    Enter(Rpm);
    const std::pair<const char*, std::int32_t> rows[] = {
        {"12\n", 500}, {" 12", 12}, {"$1F", 31}, {"0x1f", 31}, {"2147483648", 500}, {"abc", 500}};
    for (const auto& [clip, value] : rows) {
        QGuiApplication::clipboard()->setText(clip);
        const std::size_t before = Changes.size();
        Run("Ctrl+V");
        EXPECT_EQ(Rpm->Text(), clip);
        EXPECT_EQ(Rpm->Value(), value) << clip;
        EXPECT_EQ(Changes.size(), before + 1) << clip;
    }
    EXPECT_EQ(Beeps, 0);
}

TEST_F(SpinEditTest, PasteAndCutOnlyWhenEditableAndWritable) {
    Enter(Rpm);
    QClipboard* clipboard = QGuiApplication::clipboard();
    for (const bool readOnly : {false, true}) { // not editable, then read-only
        Rpm->SetEditorEnabled(readOnly);
        Rpm->setReadOnly(readOnly);
        clipboard->setText("77");
        for (const char* command :
             {"Ctrl+V", "Shift+Ins", "Ctrl+X", "Shift+Del", "menu &Paste", "menu Cu&t"})
            Run(command);
        EXPECT_EQ(Rpm->Text(), "1000") << readOnly;
        EXPECT_EQ(clipboard->text(), "77") << readOnly;
    }
    EXPECT_EQ(Beeps, 0) << "refused clipboard commands are silent";
    EXPECT_TRUE(Changes.empty());
    Rpm->setReadOnly(false);
    Rpm->SetEditorEnabled(false);
    Run("Ctrl+C");
    EXPECT_EQ(clipboard->text(), "1000") << "copy is not affected";
    Rpm->SetEditorEnabled(true);
    clipboard->setText("3\r\n");
    ASSERT_TRUE(Run("menu &Paste"));
    EXPECT_EQ(Rpm->Text(), "3\r\n");
    ASSERT_TRUE(Run("menu Cu&t"));
    EXPECT_EQ(Rpm->Text(), "");
    EXPECT_EQ(clipboard->text(), "3\r\n");
}

TEST_F(SpinEditTest, EnteringByTabOrArrowSelectsAllButAClickPlacesTheCaret) {
    Enter(Other);
    Type(&Host, Qt::Key_Backtab, {}, Qt::ShiftModifier);
    ASSERT_TRUE(Adv->hasFocus());
    EXPECT_EQ(Adv->selectedText(), "10");
    FMouse.Click(Rpm, QPoint(5, 13));
    ASSERT_TRUE(Rpm->hasFocus());
    EXPECT_FALSE(Rpm->hasSelectedText());
    EXPECT_EQ(Rpm->cursorPosition(), 0);
    TTimerSpeedButton* up = Adv->Button()->UpButton();
    FMouse.Pause();
    FMouse.Press(up, up->rect().center());
    ASSERT_TRUE(Adv->hasFocus());
    EXPECT_EQ(Adv->selectedText(), "10");
    FMouse.Release(up, up->rect().center());
    EXPECT_EQ(Adv->Text(), "11");
}

TEST_F(SpinEditTest, LeavingTheBoxClampsAnOutOfRangeNumberOnly) {
    const std::tuple<TSpinEdit*, const char*, const char*> rows[] = {
        {Rpm, "5", "500"}, {Rpm, "25000", "20000"}, {Rpm, "abc", "abc"}, {Rpm, "", ""},
        {Rpm, "-", "-"},   {Rpm, "1.5", "1.5"},     {Adv, "+7", "+7"},   {Adv, "07", "07"}};
    for (const auto& [box, text, left] : rows) {
        Enter(box);
        box->SetText(text);
        ASSERT_FALSE(ChangeValues.empty());
        EXPECT_EQ(ChangeValues.back(), box->Value()) << "the handler saw the text typed";
        const std::size_t before = Changes.size();
        Type(&Host, Qt::Key_Tab, "\t");
        EXPECT_FALSE(box->hasFocus());
        EXPECT_EQ(box->Text(), left);
        EXPECT_EQ(Changes.size() - before, QString(text) != left ? 1u : 0u) << text;
    }
}

TEST_F(SpinEditTest, SwitchingWindowsOrOpeningTheMenuIsNotLeavingTheBox) {
    Enter(Rpm);
    Rpm->SetText("5");
    Rpm->deselect();
    QWidget elsewhere;
    ASSERT_TRUE(ShowActive(elsewhere));
    ASSERT_TRUE(ShowActive(Host));
    ASSERT_TRUE(WaitUntil([this] { return Rpm->hasFocus(); }));
    EXPECT_FALSE(Rpm->hasSelectedText()) << "coming back to the window is not entering the box";
    Run("menu &Copy");
    EXPECT_EQ(Rpm->Text(), "5");
    EXPECT_EQ(Changes.size(), 1u);
}

TEST_F(SpinEditTest, LayoutFollowsTheSizeAndTheFont) {
    if (!HaveTahoma())
        GTEST_SKIP() << "no Tahoma face on this machine";
    // Box size, arrow pair, up arrow, down arrow; the pair stands inside the 2-pixel border.
    const std::tuple<QSize, QRect, QRect, QRect> rows[] = {
        {{73, 26}, {55, 2, 15, 21}, {0, 0, 15, 10}, {0, 9, 15, 12}},
        {{100, 30}, {82, 2, 15, 25}, {0, 0, 15, 12}, {0, 11, 15, 14}},
        {{73, 20}, {55, 2, 15, 21}, {0, 0, 15, 10}, {0, 9, 15, 12}}}; // raised to the minimum
    for (const auto& [size, pair, up, down] : rows) {
        Rpm->resize(size);
        EXPECT_EQ(Rpm->Button()->geometry(), pair) << size.width() << "x" << size.height();
        EXPECT_EQ(Rpm->Button()->UpButton()->geometry(), up);
        EXPECT_EQ(Rpm->Button()->DownButton()->geometry(), down);
    }
    // Line height plus min(line height, 16) / 4, plus 4 border pixels, plus 2.
    for (const auto& [pixels, minimum] : {std::pair{20, 34}, {8, 18}}) {
        QFont font = Rpm->font();
        font.setPixelSize(pixels);
        Rpm->setFont(font);
        Rpm->resize(73, 5);
        EXPECT_EQ(Rpm->height(), minimum) << pixels << " pixels";
    }
}

TEST_F(SpinEditTest, TextStaysLeftOfTheArrowsInsideAPaintedBorder) {
    Rpm->SetText("12345678901234567890");
    Rpm->repaint(); // scrolls the text to the caret at its end
    const int caretX = Rpm->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
    EXPECT_LE(caretX, 54);
    EXPECT_GT(caretX, 40);
    const QImage image = Rpm->grab().toImage();
    const QColor base = Rpm->palette().color(QPalette::Base);
    // Both shaded rows at the top and left, the inner one at the bottom and right.
    for (const QPoint p : {QPoint(0, 13), QPoint(1, 13), QPoint(30, 0), QPoint(30, 1),
                           QPoint(71, 13), QPoint(30, 24)})
        EXPECT_NE(image.pixelColor(p), base) << p.x() << "," << p.y();
    EXPECT_EQ(image.pixelColor(QPoint(2, 3)), base);
}

} // namespace
