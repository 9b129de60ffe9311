#pragma once

#include <QLineEdit>
#include <cstdint>
#include <functional>

class TSpinButton;

// A one-line integer text box with a pair of arrow buttons at its right edge. The text is
// the only state: Value is computed from it on every read.
class TSpinEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget* parent = nullptr);
    ~TSpinEdit() override;

    // The text converted, or MinValue when it does not convert; never clamped.
    std::int32_t Value() const;
    // Clamps with CheckValue, shows the decimal text; OnChange runs if the text changed.
    void SetValue(std::int32_t value);
    std::int32_t CheckValue(std::int32_t value) const;

    std::int32_t MinValue() const { return FMinValue; }
    void SetMinValue(std::int32_t value) { FMinValue = value; }
    std::int32_t MaxValue() const { return FMaxValue; }
    void SetMaxValue(std::int32_t value) { FMaxValue = value; }
    std::int32_t Increment() const { return FIncrement; }
    void SetIncrement(std::int32_t value) { FIncrement = value; }
    bool EditorEnabled() const { return FEditorEnabled; }
    void SetEditorEnabled(bool value) { FEditorEnabled = value; }

    // Selects the whole text whenever the box is entered other than by a click into it.
    bool AutoSelect() const { return FAutoSelect; }
    void SetAutoSelect(bool value) { FAutoSelect = value; }

    QString Text() const { return text(); }
    // Replaces the text unless it is already shown; OnChange runs if it changed.
    void SetText(const QString& text);

    virtual bool IsValidChar(QChar c) const;
    virtual void UpClick();
    virtual void DownClick();

    TSpinButton* Button() const { return FButton; }

    // Raised once for every change of the text, by the user or by code, with the box as
    // sender. An error it raises goes back to the code that wrote the text; after the user's
    // own edit it is reported as the application reports errors.
    std::function<void(TSpinEdit* sender)> OnChange;
    // The alert sound for rejected input; the platform's beep by default.
    void SetBeeper(std::function<void()> beeper) { FBeeper = std::move(beeper); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Beep() const;
    void TextChanged();
    void RaiseOnChange();
    void KeyPress(QKeyEvent* event);
    void InputMethod(QInputMethodEvent* event);
    // The characters a key press types, or none for a key that only moves or edits.
    static QString TypedCharacters(const QKeyEvent& event);
    // Drops the characters IsValidChar refuses, with a beep for each.
    QString FilterTyped(const QString& typed) const;
    bool ClipboardMayChangeText() const;
    void PasteRequest();
    void CutRequest();
    int GetMinHeight() const;
    void UpdateMinHeight();
    void LayoutButton();

    std::int32_t FMinValue = 0;
    std::int32_t FMaxValue = 0;
    std::int32_t FIncrement = 1;
    TSpinButton* FButton = nullptr;
    bool FEditorEnabled = true;
    bool FAutoSelect = true;
    // SetText is writing the text: the text box's change signal is not the user's edit.
    bool FWritingText = false;
    std::function<void()> FBeeper;
};
