#include "editor/Application.h"
#include "platform/Platform.h"
#include "support/QtInput.h"

#include <gtest/gtest.h>

namespace {

// An error that escapes a handler of the window under test fails the test that caused it,
// where the editor would show it in a message box.
class TFailingMessageBox : public IMessageBox {
public:
    void Show(QWidget*, const QString&, const QString& text) override {
        ADD_FAILURE() << "an error escaped a handler: " << text.toStdString();
    }
};

} // namespace

int main(int argc, char** argv) {
    qtinput::UseOffscreenScreens();
    TApplication app(argc, argv);
    TFailingMessageBox box;
    app.SetMessageBox(&box);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
