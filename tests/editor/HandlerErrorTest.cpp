#include "editor/Application.h"
#include "editor/EditorFixture.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <stdexcept>

namespace {

class TFailingUrlOpener : public IUrlOpener {
public:
    void Open(const QString&) override { throw std::runtime_error("no browser"); }
};

class TFailingPointerQuery : public IPointerQuery {
public:
    QPoint ScreenPos() const override { throw std::runtime_error("pointer lost"); }
};

class TFailingBeep : public IBeep {
public:
    void Beep() override { throw std::runtime_error("no sound"); }
};

// The real window on platform services that fail, in a folder of its own. What its handlers
// raise reaches the application object, which shows it in a recording box.
class HandlerErrors : public EditorFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(FDir.isValid());
        FPreviousDir = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(FDir.path()));
        FPreviousBox = App()->MessageBox();
        App()->SetMessageBox(&AppBox);
        EditorFixture::SetUp();
    }
    void TearDown() override {
        EditorFixture::TearDown();
        App()->SetMessageBox(FPreviousBox);
        QDir::setCurrent(FPreviousDir);
    }
    TPlatform Services() override {
        TPlatform services = Platform.Services();
        services.UrlOpener = &FUrlOpener;
        services.PointerQuery = &FPointerQuery;
        services.Beep = &FBeep;
        return services;
    }
    static TApplication* App() { return static_cast<TApplication*>(QCoreApplication::instance()); }

    QStringList Reports() const {
        QStringList texts;
        for (const TRecordedMessage& message : AppBox.Messages)
            texts << message.Title + ": " + message.Text;
        return texts;
    }
    static QStringList Reported(int times, const char* message) {
        return QStringList(times, QString("Editortests: ") + message);
    }

    void SendMouse(QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons held) {
        QWidget* chart = Form->Chart1;
        QMouseEvent event(type, pos, chart->mapToGlobal(pos), button, held, Qt::NoModifier);
        QApplication::sendEvent(chart, &event);
    }

    TFakeMessageBox AppBox;

private:
    QTemporaryDir FDir;
    QString FPreviousDir;
    IMessageBox* FPreviousBox = nullptr;
    TFailingUrlOpener FUrlOpener;
    TFailingPointerQuery FPointerQuery;
    TFailingBeep FBeep;
};

TEST_F(HandlerErrors, AFailedLoadIsReportedOnceAndTheNextLoadWorks) {
    QFile file("quendrix_timing.ini");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[ADV]\n1=20\n[RPM]\n13=15000\n");
    file.close();
    const auto rule = Adv(1)->OnChange;
    Adv(1)->OnChange = [](TSpinEdit*) { throw std::runtime_error("rule refused"); };

    EXPECT_NO_THROW(Form->B_LoadIniFile->click());
    EXPECT_EQ(Reports(), Reported(1, "rule refused"));
    EXPECT_EQ(Adv(1)->Text(), "20");
    EXPECT_EQ(Rpm(13)->Value(), 13000) << "the load stopped where it failed";

    Adv(1)->OnChange = rule;
    Form->B_LoadIniFile->click();
    EXPECT_EQ(Rpm(13)->Value(), 15000);
    EXPECT_EQ(Reports().size(), 1);
    EXPECT_TRUE(Platform.MessageBox.Messages.empty()) << "the file itself read well";
}

TEST_F(HandlerErrors, TheLinkReportsAFailedOpeningByMouseAndByKey) {
    EXPECT_NO_THROW(emit Form->LinkLabel3->linkActivated(PublisherAddress));
    Key(Form->LinkLabel3, Qt::Key_Return);
    EXPECT_EQ(Reports(), Reported(2, "no browser"));
}

TEST_F(HandlerErrors, ARefusedKeyWhoseBeepFailsIsReportedAndTypingGoesOn) {
    Enter(Adv(3));
    Type(Adv(3), "a");
    EXPECT_EQ(Adv(3)->Text(), "12");
    EXPECT_EQ(Reports(), Reported(1, "no sound"));
    Type(Adv(3), "9");
    EXPECT_EQ(Adv(3)->Text(), "9");
    EXPECT_EQ(CurveY(3), 9);
    EXPECT_EQ(Reports().size(), 1);
}

TEST_F(HandlerErrors, ADragWhosePointerCannotBeReadIsReportedForEachMove) {
    const QPoint point(Form->Series1->CalcXPos(5), Form->Series1->CalcYPos(5));
    SendMouse(QEvent::MouseButtonPress, point, Qt::LeftButton, Qt::LeftButton);
    ASSERT_EQ(MovingPointIndex, 5);
    const std::vector<double> curve = CurveXs();
    SendMouse(QEvent::MouseMove, point + QPoint(40, 0), Qt::NoButton, Qt::LeftButton);
    SendMouse(QEvent::MouseMove, point + QPoint(80, 0), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(Reports(), Reported(2, "pointer lost"));
    EXPECT_EQ(CurveXs(), curve);
    SendMouse(QEvent::MouseButtonRelease, point, Qt::LeftButton, Qt::NoButton);
    Enter(Adv(4));
    Type(Adv(4), "7");
    EXPECT_EQ(CurveY(4), 7) << "the window still takes input";
}

} // namespace
