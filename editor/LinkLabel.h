#pragma once

#include <QLabel>

// A label that shows a link in its rich text. Assistive technology meets it as a link, named
// by the text shown, that it can follow as a click on the link does.
class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLinkLabel(QWidget* parent = nullptr);

    // The target of the first link shown, empty when the label shows none.
    QString LinkTarget() const;
    // The text shown, without its markup.
    QString ShownText() const;
    // Raises linkActivated with the link's target, as a click on it does.
    void FollowLink();
};
