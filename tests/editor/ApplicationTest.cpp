#include "editor/Application.h"
#include "editor/TestPlatform.h"

#include <QEvent>
#include <QObject>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

// A receiver whose event handler fails the way a handler of the editor could.
class TFailingReceiver : public QObject {
public:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) {
            ++Handled;
            throw std::runtime_error("Le fichier est verrouillé");
        }
        return QObject::event(event);
    }
    int Handled = 0;
};

TEST(Application, AnErrorEscapingAHandlerIsShownAndTheLoopGoesOn) {
    auto* app = static_cast<TApplication*>(QCoreApplication::instance());
    IMessageBox* const previous = app->MessageBox();
    TFakeMessageBox box;
    app->SetMessageBox(&box);

    TFailingReceiver receiver;
    QEvent first(QEvent::User);
    QCoreApplication::sendEvent(&receiver, &first);
    QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
    QCoreApplication::processEvents();

    EXPECT_EQ(receiver.Handled, 2);
    ASSERT_EQ(box.Messages.size(), 2u);
    EXPECT_EQ(box.Messages[0].Text, QString::fromUtf8("Le fichier est verrouillé"));
    EXPECT_EQ(box.Messages[0].Title, "Editortests");
    app->SetMessageBox(previous);
}

} // namespace
