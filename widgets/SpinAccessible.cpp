#include "widgets/SpinAccessible.h"

#include "widgets/Spin.h"
#include "widgets/SpinButton.h"

#include <QAccessibleWidget>
#include <QFontMetrics>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr std::int32_t Int32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t Int32Max = std::numeric_limits<std::int32_t>::max();

// The box as a spin box: its value is the number its text converts to (the lower bound when
// the text does not convert), and its text can be read and selected as in any text box. Its
// children are the two arrows; the pair that holds them adds nothing a user needs to meet.
class TSpinEditAccessible : public QAccessibleWidget,
                            public QAccessibleValueInterface,
                            public QAccessibleTextInterface {
public:
    explicit TSpinEditAccessible(TSpinEdit* box) : QAccessibleWidget(box, QAccessible::SpinBox) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return Box()->text();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = Box()->isReadOnly();
        s.editable = !Box()->isReadOnly() && Box()->EditorEnabled();
        s.selectableText = true;
        return s;
    }

    int childCount() const override { return 2; }

    QAccessibleInterface* child(int index) const override {
        const TSpinButton* pair = Box()->Button();
        if (index == 0)
            return QAccessible::queryAccessibleInterface(pair->UpButton());
        if (index == 1)
            return QAccessible::queryAccessibleInterface(pair->DownButton());
        return nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        const QObject* arrow = child ? child->object() : nullptr;
        if (arrow && arrow == Box()->Button()->UpButton())
            return 0;
        if (arrow && arrow == Box()->Button()->DownButton())
            return 1;
        return -1;
    }

    // The arrows' steps, also offered on the box itself, with the keys that do the same.
    QStringList actionNames() const override {
        return QAccessibleWidget::actionNames() << increaseAction() << decreaseAction();
    }

    void doAction(const QString& name) override {
        if (name == increaseAction())
            Box()->UpClick();
        else if (name == decreaseAction())
            Box()->DownClick();
        else
            QAccessibleWidget::doAction(name);
    }

    QStringList keyBindingsForAction(const QString& name) const override {
        if (name == increaseAction())
            return {QStringLiteral("Up")};
        if (name == decreaseAction())
            return {QStringLiteral("Down")};
        return QAccessibleWidget::keyBindingsForAction(name);
    }

    QVariant currentValue() const override { return Box()->Value(); }

    // A value from assistive technology is written as the arrows write theirs: clamped, and
    // raising the box's change event when the text changes.
    void setCurrentValue(const QVariant& value) override {
        bool ok = false;
        const double wanted = value.toDouble(&ok);
        if (!ok || !std::isfinite(wanted) || Box()->isReadOnly())
            return;
        const double whole = std::clamp(std::round(wanted), double(Int32Min), double(Int32Max));
        Box()->SetValue(static_cast<std::int32_t>(whole));
    }

    // Equal bounds leave the box unbounded.
    QVariant maximumValue() const override { return Unbounded() ? Int32Max : Box()->MaxValue(); }
    QVariant minimumValue() const override { return Unbounded() ? Int32Min : Box()->MinValue(); }
    QVariant minimumStepSize() const override { return Box()->Increment(); }

    int selectionCount() const override { return Box()->hasSelectedText() ? 1 : 0; }

    void selection(int selectionIndex, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
        if (selectionIndex != 0 || !Box()->hasSelectedText())
            return;
        *startOffset = Box()->selectionStart();
        *endOffset = Box()->selectionEnd();
    }

    void addSelection(int startOffset, int endOffset) override {
        setSelection(0, startOffset, endOffset);
    }

    void removeSelection(int selectionIndex) override {
        if (selectionIndex == 0)
            Box()->deselect();
    }

    void setSelection(int selectionIndex, int startOffset, int endOffset) override {
        if (selectionIndex != 0)
            return;
        const int start = ClampedOffset(startOffset);
        Box()->setSelection(start, ClampedOffset(endOffset) - start);
    }

    int cursorPosition() const override { return Box()->cursorPosition(); }
    void setCursorPosition(int position) override {
        Box()->setCursorPosition(ClampedOffset(position));
    }

    QString text(int startOffset, int endOffset) const override {
        const int start = ClampedOffset(startOffset);
        return Box()->text().mid(start, std::max(0, ClampedOffset(endOffset) - start));
    }

    int characterCount() const override { return static_cast<int>(Box()->text().size()); }

    // Measured from the caret, whose position already accounts for the margins and for a text
    // scrolled sideways; the box reports a rectangle centred on the caret.
    QRect characterRect(int offset) const override {
        if (offset < 0 || offset >= characterCount())
            return {};
        const QString shown = Box()->text();
        const QFontMetrics metrics(Box()->font());
        const QRect caret = Box()->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        const int caretX = caret.x() + caret.width() / 2;
        const int left = caretX + metrics.horizontalAdvance(shown.left(offset)) -
                         metrics.horizontalAdvance(shown.left(Box()->cursorPosition()));
        const QRect local(left, caret.y(), metrics.horizontalAdvance(shown.at(offset)),
                          caret.height());
        return QRect(Box()->mapToGlobal(local.topLeft()), local.size());
    }

    int offsetAtPoint(const QPoint& point) const override {
        const QPoint local = Box()->mapFromGlobal(point);
        if (!Box()->rect().contains(local))
            return -1;
        return Box()->cursorPositionAt(local);
    }

    void scrollToSubstring(int startIndex, int endIndex) override {
        setCursorPosition(endIndex);
        setCursorPosition(startIndex);
    }

    // The box shows its text in one font and colour: no runs to report.
    QString attributes(int, int* startOffset, int* endOffset) const override {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

private:
    TSpinEdit* Box() const { return static_cast<TSpinEdit*>(widget()); }
    bool Unbounded() const { return Box()->MinValue() == Box()->MaxValue(); }
    int ClampedOffset(int offset) const { return std::clamp(offset, 0, characterCount()); }
};

// One arrow as a push button, named for the step it makes ("Increase", "Decrease" in the
// user's language) and described by the name of the box it steps. In the tree it is a child of
// the box.
class TSpinArrowAccessible : public QAccessibleWidget {
public:
    explicit TSpinArrowAccessible(TTimerSpeedButton* arrow)
        : QAccessibleWidget(arrow, QAccessible::Button) {}

    QAccessibleInterface* parent() const override {
        if (TSpinEdit* box = OwningBox())
            return QAccessible::queryAccessibleInterface(box);
        return QAccessibleWidget::parent();
    }

    QString text(QAccessible::Text t) const override {
        const QString own = QAccessibleWidget::text(t);
        if (!own.isEmpty())
            return own;
        if (t == QAccessible::Name)
            return localizedActionName(StepAction());
        if (t == QAccessible::Description) {
            if (const TSpinEdit* box = OwningBox())
                return box->accessibleName();
        }
        return own;
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.pressed = Arrow()->IsDrawnPressed();
        return s;
    }

    QStringList actionNames() const override { return {pressAction()}; }

    // A press steps the box once, as a click on the arrow does.
    void doAction(const QString& name) override {
        if (name == pressAction() && Arrow()->isEnabled())
            Arrow()->Click();
    }

    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    TTimerSpeedButton* Arrow() const { return static_cast<TTimerSpeedButton*>(widget()); }
    QString StepAction() const {
        return Arrow()->IsDownButton() ? decreaseAction() : increaseAction();
    }
    TSpinEdit* OwningBox() const {
        const QWidget* pair = Arrow()->parentWidget();
        return pair ? qobject_cast<TSpinEdit*>(pair->parentWidget()) : nullptr;
    }
};

QAccessibleInterface* SpinAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("TSpinEdit")) {
        if (auto* box = qobject_cast<TSpinEdit*>(object))
            return new TSpinEditAccessible(box);
    }
    if (className == QLatin1String("TTimerSpeedButton")) {
        if (auto* arrow = qobject_cast<TTimerSpeedButton*>(object))
            return new TSpinArrowAccessible(arrow);
    }
    return nullptr;
}

} // namespace

void InstallSpinAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(SpinAccessibleFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

void NotifyAccessibleValueChanged(TSpinEdit* box) {
    if (!QAccessible::isActive())
        return;
    QAccessibleValueChangeEvent event(box, box->Value());
    QAccessible::updateAccessibility(&event);
}
