#include "widgets/Spin.h"

#include "core/IntegerText.h"
#include "platform/ErrorReport.h"
#include "widgets/SpinAccessible.h"
#include "widgets/SpinButton.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QRawFont>
#include <QScopedValueRollback>
#include <algorithm>
#include <cmath>
#include <qdrawutil.h>

namespace {

// The sunken 3-D border on each side of the box; the rest is the client area.
constexpr int BorderWidth = 2;
constexpr int ArrowPairWidth = 15;
// The pair stands at client x = box width - 15 - 5 with height = box height - 5, which leaves
// one client pixel free to its right and below it.
constexpr int ArrowPairInset = 5;
// The text area stops two pixels before the pair and reaches one pixel below the client area.
constexpr int TextGapBeforePair = 2;
constexpr int TextOverhangBelow = 1;
// The platform's stock system font is 16 pixels high; the leading the minimum height adds
// never exceeds a quarter of it.
constexpr int SystemFontLineHeight = 16;
constexpr int BorderPixels = 4;
constexpr int ExtraPixels = 2;

constexpr char16_t Backspace = 8;
constexpr char16_t CarriageReturn = 13;
constexpr char16_t FirstPrintable = 32;

// Offsets in the OpenType "OS/2" table of the ascent and descent that the platform's text
// metrics are built from.
constexpr int WinAscentOffset = 74;
constexpr int WinDescentOffset = 76;

int TableWord(const QByteArray& table, int offset) {
    return (static_cast<unsigned char>(table[offset]) << 8) |
           static_cast<unsigned char>(table[offset + 1]);
}

// The line height (ascent plus descent) that the platform's text metrics give a font: the
// face's Windows ascent and descent, each scaled to the pixel size and rounded. The toolkit's
// own metrics follow the typographic ascent when the face asks for it, which makes Tahoma
// three pixels shorter than the boxes were laid out for.
int LineHeight(const QFont& font) {
    const QRawFont raw = QRawFont::fromFont(font);
    const QByteArray os2 = raw.isValid() ? raw.fontTable("OS/2") : QByteArray();
    if (os2.size() < WinDescentOffset + 2 || raw.unitsPerEm() <= 0)
        return QFontMetrics(font).height();
    const qreal scale = raw.pixelSize() / raw.unitsPerEm();
    const long ascent = std::lround(TableWord(os2, WinAscentOffset) * scale);
    const long descent = std::lround(TableWord(os2, WinDescentOffset) * scale);
    return static_cast<int>(ascent + descent);
}

// Steps are formed in 32-bit two's complement: an overflow wraps instead of saturating, and
// the write that follows clamps the wrapped value.
std::int32_t WrappingAdd(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

std::int32_t WrappingSubtract(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

// A focus change that only reflects another window or a popup menu coming and going does not
// enter or leave the box.
bool IsWindowLevelFocusChange(Qt::FocusReason reason) {
    return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
}

} // namespace

TSpinEdit::TSpinEdit(QWidget* parent) : QLineEdit(parent) {
    InstallSpinAccessibility();
    FButton = new TSpinButton(this);
    FButton->SetFocusControl(this);
    FButton->OnUpClick = [this](QObject*) { UpClick(); };
    FButton->OnDownClick = [this](QObject*) { DownClick(); };
    // The border is drawn by the box itself so that it is two pixels wide in every style.
    setFrame(false);
    setTextMargins(BorderWidth, BorderWidth, BorderWidth + ArrowPairWidth + TextGapBeforePair,
                   BorderWidth - TextOverhangBelow);
    setText("0");
    // A screen reader hears of the new value before any handler runs, so that the values
    // that handlers write into other boxes are announced after it.
    connect(this, &QLineEdit::textChanged, this, [this] { NotifyAccessibleValueChanged(this); });
    connect(this, &QLineEdit::textChanged, this, [this] { TextChanged(); });
    UpdateMinHeight();
    LayoutButton();
}

TSpinEdit::~TSpinEdit() = default;

std::int32_t TSpinEdit::Value() const {
    return StrToIntDef(text(), FMinValue);
}

void TSpinEdit::SetValue(std::int32_t value) {
    SetText(IntToStr(CheckValue(value)));
}

std::int32_t TSpinEdit::CheckValue(std::int32_t value) const {
    if (FMinValue == FMaxValue)
        return value;
    if (value < FMinValue)
        return FMinValue;
    if (value > FMaxValue)
        return FMaxValue;
    return value;
}

// A write from code raises OnChange itself once the text box has taken the new text, so that
// an error in the handler goes back to the code that wrote.
void TSpinEdit::SetText(const QString& text) {
    const QString old = this->text();
    if (old == text)
        return;
    {
        const QScopedValueRollback writing(FWritingText, true);
        setText(text);
    }
    if (this->text() != old)
        RaiseOnChange();
}

bool TSpinEdit::IsValidChar(QChar c) const {
    const char16_t code = c.unicode();
    if (code == CarriageReturn)
        return false;
    if (code < FirstPrintable && code != Backspace)
        return true;
    if (!FEditorEnabled)
        return false;
    if (code == Backspace || (code >= u'0' && code <= u'9') || code == u'+' || code == u'-')
        return true;
    return QString(c) == QLocale().decimalPoint();
}

void TSpinEdit::UpClick() {
    if (isReadOnly()) {
        Beep();
        return;
    }
    SetValue(WrappingAdd(Value(), FIncrement));
}

void TSpinEdit::DownClick() {
    if (isReadOnly()) {
        Beep();
        return;
    }
    SetValue(WrappingSubtract(Value(), FIncrement));
}

void TSpinEdit::Beep() const {
    if (FBeeper)
        FBeeper();
    else
        QApplication::beep();
}

// The user changed the text, through the text box's own editing: a handler that fails ends
// here.
void TSpinEdit::TextChanged() {
    if (!FWritingText)
        HandleErrors([this] { RaiseOnChange(); });
}

void TSpinEdit::RaiseOnChange() {
    // A copy, so that a handler may replace OnChange while it runs.
    if (const auto handler = OnChange)
        handler(this);
}

void TSpinEdit::keyPressEvent(QKeyEvent* event) {
    HandleErrors([&] { KeyPress(event); });
}

void TSpinEdit::KeyPress(QKeyEvent* event) {
    // The arrow keys step and then still reach the text box's own caret handling.
    if (event->key() == Qt::Key_Up) {
        UpClick();
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (event->key() == Qt::Key_Down) {
        DownClick();
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        PasteRequest();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Cut)) {
        CutRequest();
        event->accept();
        return;
    }
    const QString typed = TypedCharacters(*event);
    const QString accepted = FilterTyped(typed);
    if (accepted == typed) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    event->accept();
    if (accepted.isEmpty())
        return;
    QKeyEvent filtered(event->type(), event->key(), event->modifiers(), accepted,
                       event->isAutoRepeat(), event->count());
    QLineEdit::keyPressEvent(&filtered);
}

QString TSpinEdit::TypedCharacters(const QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_Backspace:
        return QString(QChar(Backspace));
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return QString(QChar(CarriageReturn));
    case Qt::Key_Delete:
        // Some platforms report the delete character for this key; it types nothing.
        return {};
    default:
        return event.text();
    }
}

QString TSpinEdit::FilterTyped(const QString& typed) const {
    QString accepted;
    for (const QChar c : typed) {
        if (IsValidChar(c))
            accepted += c;
        else
            Beep();
    }
    return accepted;
}

void TSpinEdit::inputMethodEvent(QInputMethodEvent* event) {
    HandleErrors([&] { InputMethod(event); });
}

void TSpinEdit::InputMethod(QInputMethodEvent* event) {
    const QString commit = event->commitString();
    const QString accepted = FilterTyped(commit);
    if (accepted == commit) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent filtered(event->preeditString(), event->attributes());
    filtered.setCommitString(accepted, event->replacementStart(), event->replacementLength());
    QLineEdit::inputMethodEvent(&filtered);
    event->accept();
}

bool TSpinEdit::ClipboardMayChangeText() const {
    return FEditorEnabled && !isReadOnly();
}

// The clipboard text goes in as it is, line breaks included: it is not typed, so it is not
// filtered, and Value reads whatever the conversion makes of it.
void TSpinEdit::PasteRequest() {
    if (ClipboardMayChangeText())
        insert(QGuiApplication::clipboard()->text());
}

void TSpinEdit::CutRequest() {
    if (ClipboardMayChangeText())
        cut();
}

void TSpinEdit::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu();
    // The toolkit's menu names its commands only by their (translated) labels.
    const QString cutLabel = QLineEdit::tr("Cu&t");
    const QString pasteLabel = QLineEdit::tr("&Paste");
    for (QAction* action : menu->actions()) {
        const QString label = action->text().section(u'\t', 0, 0);
        if (label != cutLabel && label != pasteLabel)
            continue;
        QObject::disconnect(action, &QAction::triggered, this, nullptr);
        if (label == cutLabel)
            connect(action, &QAction::triggered, this, [this] { CutRequest(); });
        else
            connect(action, &QAction::triggered, this, [this] { PasteRequest(); });
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

// A middle click pastes the selection on platforms that have one; it is a paste like any other.
void TSpinEdit::mouseReleaseEvent(QMouseEvent* event) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (event->button() != Qt::MiddleButton || !clipboard->supportsSelection()) {
        QLineEdit::mouseReleaseEvent(event);
        return;
    }
    if (ClipboardMayChangeText() && rect().contains(event->position().toPoint()))
        insert(clipboard->text(QClipboard::Selection));
    event->accept();
}

// A drop inserts text as a paste does, so it is refused where a paste would be.
void TSpinEdit::dragEnterEvent(QDragEnterEvent* event) {
    if (ClipboardMayChangeText())
        QLineEdit::dragEnterEvent(event);
    else
        event->ignore();
}

void TSpinEdit::dragMoveEvent(QDragMoveEvent* event) {
    if (ClipboardMayChangeText())
        QLineEdit::dragMoveEvent(event);
    else
        event->ignore();
}

void TSpinEdit::dropEvent(QDropEvent* event) {
    if (ClipboardMayChangeText())
        QLineEdit::dropEvent(event);
    else
        event->ignore();
}

void TSpinEdit::wheelEvent(QWheelEvent* event) {
    event->ignore();
}

// A left press into the text places the caret after this, through the text box's own press
// handling, which clears the selection made here.
void TSpinEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    if (FAutoSelect && !IsWindowLevelFocusChange(event->reason()))
        selectAll();
}

void TSpinEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (IsWindowLevelFocusChange(event->reason()))
        return;
    HandleErrors([this] {
        const std::int32_t value = Value();
        if (CheckValue(value) != value)
            SetValue(value);
    });
}

void TSpinEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    LayoutButton();
}

void TSpinEdit::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    QPainter painter(this);
    qDrawWinPanel(&painter, rect(), palette(), true);
}

void TSpinEdit::changeEvent(QEvent* event) {
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        UpdateMinHeight();
}

int TSpinEdit::GetMinHeight() const {
    const int h = LineHeight(font());
    return h + std::min(h, SystemFontLineHeight) / 4 + BorderPixels + ExtraPixels;
}

// The toolkit raises any smaller height to the minimum, whoever resizes the box.
void TSpinEdit::UpdateMinHeight() {
    setMinimumHeight(GetMinHeight());
}

void TSpinEdit::LayoutButton() {
    const int left = width() - ArrowPairWidth - ArrowPairInset;
    const int height = std::max(0, this->height() - ArrowPairInset);
    FButton->setGeometry(BorderWidth + left, BorderWidth, ArrowPairWidth, height);
    FButton->LayoutArrows();
}
