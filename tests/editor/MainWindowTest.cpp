#include "editor/EditorFixture.h"

#include <QDir>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

namespace {

class MainWindow : public EditorFixture {};

TEST_F(MainWindow, HasTheFixedFrameCaptionAndClientSize) {
    EXPECT_EQ(Form->windowTitle(), "Varnotel");
    EXPECT_EQ(Form->size(), QSize(1175, 548));
    EXPECT_EQ(Form->minimumSize(), Form->maximumSize());
    const Qt::WindowFlags flags = Form->windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
}

// A window system that imposes a smaller size (Qt's Wayland client does when a compositor hands
// it the frame) gets the window's own size back, with every control inside it.
TEST_F(MainWindow, TakesItsSizeBackWhenTheWindowSystemImposesAnother) {
    Form->windowHandle()->resize(1169, 515);
    QWindowSystemInterface::flushWindowSystemEvents();
    ASSERT_EQ(Form->size(), QSize(1169, 515)) << "the window system's size reached the window";
    EXPECT_TRUE(qtinput::WaitUntil([&] {
        return Form->size() == QSize(1175, 548) && Form->windowHandle()->size() == Form->size();
    }));
}

TEST_F(MainWindow, PlacesEveryControl) {
    EXPECT_EQ(Form->Chart1->geometry(), QRect(195, 42, 972, 450));
    EXPECT_EQ(Form->Chart1->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(Form->B_LoadIniFile->geometry(), QRect(1008, 11, 75, 25));
    EXPECT_EQ(Form->B_SaveIniFile->geometry(), QRect(1089, 11, 75, 25));
    EXPECT_EQ(Form->B_LoadIniFile->text(), "Load");
    EXPECT_EQ(Form->B_SaveIniFile->text(), "Save");
    EXPECT_EQ(Form->LinkLabel1->text(), "RPM");
    EXPECT_EQ(Form->LinkLabel2->text(), QString::fromUtf8("ADV [°]"));
    EXPECT_EQ(Form->LinkLabel1->pos(), QPoint(40, 50));
    EXPECT_EQ(Form->LinkLabel2->pos(), QPoint(115, 50));
    EXPECT_EQ(Form->LinkLabel3->pos(), QPoint(528, 520));
    for (int k = 1; k <= 13; ++k) {
        const int top = 76 + 32 * (k - 1);
        EXPECT_EQ(Rpm(k)->geometry(), QRect(16, top, 73, 26)) << k;
        EXPECT_EQ(Adv(k)->geometry(), QRect(99, top, 73, 26)) << k;
        EXPECT_EQ(Rpm(k)->objectName(), QString("SpinEditRPM%1").arg(k));
        EXPECT_EQ(Form->FindSpinEdit(QString("SpinEditADV%1").arg(k)), Adv(k));
    }
    EXPECT_EQ(Form->FindSpinEdit("SpinEditRPM14"), nullptr);
    EXPECT_EQ(Form->FindSpinEdit("SpinEditRPM0"), nullptr);
}

TEST_F(MainWindow, BoxesCarryTheirBoundsAndInitialValues) {
    const int advances[] = {10, 10, 12, 12, 10, 8, 6, 10, 12, 12, 10, 10, 8};
    for (int k = 1; k <= 13; ++k) {
        EXPECT_EQ(Rpm(k)->MinValue(), 500);
        EXPECT_EQ(Rpm(k)->MaxValue(), 20000);
        EXPECT_EQ(Rpm(k)->Increment(), 100);
        EXPECT_EQ(Rpm(k)->Value(), 1000 * k);
        EXPECT_EQ(Adv(k)->MinValue(), 0);
        EXPECT_EQ(Adv(k)->MaxValue(), 50);
        EXPECT_EQ(Adv(k)->Increment(), 1);
        EXPECT_EQ(Adv(k)->Value(), advances[k - 1]);
    }
}

TEST_F(MainWindow, UsesTahomaOfTheStatedPixelHeights) {
    EXPECT_EQ(QFontInfo(Form->font()).family(), "Tahoma");
    EXPECT_EQ(Form->font().pixelSize(), 11);
    EXPECT_EQ(QFontInfo(Rpm(1)->font()).family(), "Tahoma");
    EXPECT_EQ(Rpm(1)->font().pixelSize(), 13);
    EXPECT_EQ(Form->B_SaveIniFile->font().pixelSize(), 13);
    EXPECT_EQ(Form->LinkLabel1->font().pixelSize(), 13);
    EXPECT_EQ(Form->LinkLabel3->font().pixelSize(), 16);
}

TEST_F(MainWindow, TabWalksTheControlsInOrderAndSkipsTheLinks) {
    std::vector<QWidget*> expected{Form->Chart1, Form->B_LoadIniFile, Form->B_SaveIniFile, Rpm(1),
                                   Adv(1)};
    for (int k = 2; k <= 13; ++k)
        expected.push_back(Rpm(k));
    for (int k = 2; k <= 13; ++k)
        expected.push_back(Adv(k));
    expected.push_back(Form->Chart1);

    Form->Chart1->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), Form->Chart1);
    for (std::size_t i = 1; i < expected.size(); ++i) {
        Key(QApplication::focusWidget(), Qt::Key_Tab);
        QApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), expected[i])
            << "step " << i << ", got " << QApplication::focusWidget()->objectName().toStdString();
    }
}

TEST_F(MainWindow, ChartHasTheFocusFirst) {
    EXPECT_EQ(Form->focusWidget(), Form->Chart1);
}

TEST_F(MainWindow, LinkOpensThePublishersAddressByClickOrEnter) {
    const QString address = QString::fromLatin1(PublisherAddress);
    ASSERT_TRUE(address.startsWith("https://"));
    ASSERT_TRUE(address.endsWith("/"));
    EXPECT_TRUE(Form->LinkLabel3->text().contains(QString("href=\"%1\"").arg(address)));
    EXPECT_TRUE(Form->LinkLabel3->text().contains(QString(">%1<").arg(address.chopped(1))));

    emit Form->LinkLabel3->linkActivated(address);
    Form->LinkLabel3->setFocus(Qt::MouseFocusReason);
    Key(Form->LinkLabel3, Qt::Key_Return);
    EXPECT_EQ(Platform.UrlOpener.Opened, QStringList({address, address}));
}

// A focused button is pressed by Return and keypad Enter as by Space: once per press, not by
// the repeats of a held key, not with a modifier held.
TEST_F(MainWindow, EnterPressesTheFocusedButtonOncePerPress) {
    struct Press {
        int key;
        Qt::KeyboardModifiers modifiers;
        bool repeat;
        int clicks;
    };
    const Press presses[] = {
        {Qt::Key_Return, Qt::NoModifier, false, 1},
        {Qt::Key_Enter, Qt::KeypadModifier, false, 1},
        {Qt::Key_Space, Qt::NoModifier, false, 1},
        {Qt::Key_Return, Qt::NoModifier, true, 0},
        {Qt::Key_Enter, Qt::KeypadModifier, true, 0},
        {Qt::Key_Return, Qt::ControlModifier, false, 0},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QPushButton* load = Form->B_LoadIniFile;
    int clicks = 0;
    QObject::connect(load, &QPushButton::clicked, [&clicks] { ++clicks; });
    load->setFocus(Qt::TabFocusReason);
    for (const Press& p : presses) {
        clicks = 0;
        for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent event(type, p.key, p.modifiers, {}, p.repeat);
            QApplication::sendEvent(load, &event);
        }
        EXPECT_EQ(clicks, p.clicks) << "key " << p.key << ", repeat " << p.repeat;
    }
    QDir::setCurrent(previous);
}

TEST_F(MainWindow, ClosingAfterEditsEndsTheApplicationWithoutAPromptOrAFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    Rpm(3)->SetValue(3500);
    // Closing the window from inside the running event loop ends the loop; the watchdog
    // would end it instead if the close did not.
    bool watchdogFired = false;
    QTimer::singleShot(0, Form.get(), [this] { Form->close(); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&watchdogFired] {
        watchdogFired = true;
        QApplication::quit();
    });
    watchdog.start(5000);
    QApplication::exec();
    EXPECT_FALSE(watchdogFired);
    EXPECT_FALSE(Form->isVisible());
    EXPECT_TRUE(Platform.MessageBox.Messages.empty());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    QDir::setCurrent(previous);
}

TEST_F(MainWindow, ApplicationTitleIsTheExecutablesNameInTitleCase) {
    EXPECT_EQ(ApplicationTitle(), "Editortests");
}

} // namespace
