#include "editor/LinkLabel.h"

#include <QAccessibleWidget>
#include <QTextBlock>
#include <QTextDocument>

namespace {

class TLinkLabelAccessible : public QAccessibleWidget {
public:
    explicit TLinkLabelAccessible(TLinkLabel* label)
        : QAccessibleWidget(label, QAccessible::Link) {}

    QString text(QAccessible::Text t) const override {
        const QString own = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && own.isEmpty())
            return Label()->ShownText();
        return own;
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.linked = true;
        return s;
    }

    QStringList actionNames() const override {
        return QAccessibleWidget::actionNames() << pressAction();
    }

    void doAction(const QString& name) override {
        if (name != pressAction())
            QAccessibleWidget::doAction(name);
        else if (Label()->isEnabled())
            Label()->FollowLink();
    }

private:
    TLinkLabel* Label() const { return static_cast<TLinkLabel*>(widget()); }
};

// A label without a link stays the plain label Qt presents.
QAccessibleInterface* LinkLabelAccessibleFactory(const QString& className, QObject* object) {
    if (className != QLatin1String("TLinkLabel"))
        return nullptr;
    auto* label = qobject_cast<TLinkLabel*>(object);
    if (!label || label->LinkTarget().isEmpty())
        return nullptr;
    return new TLinkLabelAccessible(label);
}

bool ShowsRichText(const QLabel& label) {
    return label.textFormat() == Qt::RichText ||
           (label.textFormat() == Qt::AutoText && Qt::mightBeRichText(label.text()));
}

} // namespace

TLinkLabel::TLinkLabel(QWidget* parent) : QLabel(parent) {
    static const bool installed = [] {
        QAccessible::installFactory(LinkLabelAccessibleFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

QString TLinkLabel::LinkTarget() const {
    if (!ShowsRichText(*this))
        return {};
    QTextDocument document;
    document.setHtml(text());
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            const QTextCharFormat format = fragment.fragment().charFormat();
            if (format.isAnchor() && !format.anchorHref().isEmpty())
                return format.anchorHref();
        }
    }
    return {};
}

QString TLinkLabel::ShownText() const {
    if (!ShowsRichText(*this))
        return text();
    QTextDocument document;
    document.setHtml(text());
    return document.toPlainText();
}

void TLinkLabel::FollowLink() {
    const QString target = LinkTarget();
    if (!target.isEmpty())
        emit linkActivated(target);
}
