#include "editor/EditorFixture.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

const QString AccessFailure =
    QString::fromUtf8("Cant read/write from INI File (Access autorization?)"
                      "Impossible d'écrire dans ./quendrix_timing.ini");

const std::vector<int> LayoutAdvances{10, 10, 12, 12, 10, 8, 6, 10, 12, 12, 10, 10, 8};

std::vector<int> Steps(int first, int step) {
    std::vector<int> values;
    for (int k = 0; k < 13; ++k)
        values.push_back(first + k * step);
    return values;
}

// The curve file as "Save" writes it for the given box values.
QByteArray SavedFile(const std::vector<int>& advances, const std::vector<int>& rpms) {
    QByteArray text = "[ADV]\n";
    for (int k = 1; k <= 13; ++k)
        text += QByteArray::number(k) + "=" + QByteArray::number(advances[k - 1]) + "\n";
    text += "\n[RPM]\n";
    for (int k = 1; k <= 13; ++k)
        text += QByteArray::number(k) + "=" + QByteArray::number(rpms[k - 1]) + "\n";
    return text;
}

// The file "Save" writes from the initial state with some keys replaced.
QByteArray LayoutFileWith(const std::vector<std::pair<int, QByteArray>>& rpmChanges,
                          const std::vector<std::pair<int, QByteArray>>& advChanges = {}) {
    QByteArray text = SavedFile(LayoutAdvances, Steps(1000, 1000));
    const auto replace = [&text](const QByteArray& section, int k, const QByteArray& value) {
        const qsizetype sectionAt = text.indexOf("[" + section + "]");
        const QByteArray key = "\n" + QByteArray::number(k) + "=";
        const qsizetype at = text.indexOf(key, sectionAt) + key.size();
        text.replace(at, text.indexOf('\n', at) - at, value);
    };
    for (const auto& [k, value] : rpmChanges)
        replace("RPM", k, value);
    for (const auto& [k, value] : advChanges)
        replace("ADV", k, value);
    return text;
}

class CurveFile : public EditorFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(FDir.isValid());
        FPrevious = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(FDir.path()));
        EditorFixture::SetUp();
    }
    void TearDown() override {
        EditorFixture::TearDown();
        QDir::setCurrent(FPrevious);
    }
    // A fresh window in its initial state, no file and no messages.
    void Restart() {
        EditorFixture::TearDown();
        QFile::remove("quendrix_timing.ini");
        Platform.MessageBox.Messages.clear();
        EditorFixture::SetUp();
    }

    static void WriteFile(const QByteArray& bytes) {
        QFile file("quendrix_timing.ini");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    static QByteArray ReadFile() {
        QFile file("quendrix_timing.ini");
        if (!file.open(QIODevice::ReadOnly))
            return "<missing>";
        return file.readAll();
    }
    static void MakeReadOnly() { ASSERT_EQ(::chmod("quendrix_timing.ini", 0444), 0); }

    void Save() { Form->B_SaveIniFile->click(); }
    void Load() { Form->B_LoadIniFile->click(); }

    std::vector<int> AdvBoxes() const {
        std::vector<int> values;
        for (int k = 1; k <= 13; ++k)
            values.push_back(Adv(k)->Value());
        return values;
    }
    std::vector<double> CurveYs() const {
        std::vector<double> values;
        for (int k = 1; k <= 13; ++k)
            values.push_back(CurveY(k));
        return values;
    }
    QStringList MessageTexts() const {
        QStringList texts;
        for (const TRecordedMessage& message : Platform.MessageBox.Messages)
            texts << message.Text;
        return texts;
    }

    QTemporaryDir FDir;
    QString FPrevious;
};

std::vector<double> AsDoubles(const std::vector<int>& values) {
    return {values.begin(), values.end()};
}

TEST_F(CurveFile, LoadWithoutAFileChangesNothingAndSaysNothing) {
    const int draws = Form->Chart1->DrawCount();
    Load();
    EXPECT_EQ(RpmBoxes(), Steps(1000, 1000));
    EXPECT_EQ(AdvBoxes(), LayoutAdvances);
    EXPECT_EQ(CurveXs(), AsDoubles(Steps(1000, 1000)));
    EXPECT_EQ(CurveY(4), 10);
    EXPECT_EQ(CurveY(6), 11);
    EXPECT_EQ(Form->Chart1->DrawCount(), draws);
    EXPECT_TRUE(Platform.MessageBox.Messages.empty());
    EXPECT_EQ(ReadFile(), "<missing>");
}

TEST_F(CurveFile, SaveAtStartWritesTheBoxesAndLoadingItBackRunsNoRule) {
    Save();
    EXPECT_EQ(ReadFile(), SavedFile(LayoutAdvances, Steps(1000, 1000)));

    const int draws = Form->Chart1->DrawCount();
    Load();
    EXPECT_EQ(CurveY(4), 10);
    EXPECT_EQ(CurveY(6), 11);
    EXPECT_EQ(AdvBoxes(), LayoutAdvances);
    EXPECT_EQ(RpmBoxes(), Steps(1000, 1000));
    EXPECT_EQ(Form->Chart1->DrawCount(), draws);
    EXPECT_TRUE(Platform.MessageBox.Messages.empty());
}

TEST_F(CurveFile, SaveWritesWhatTheBoxesShowNotTheCurve) {
    Rpm(2)->SetValue(1050);
    ASSERT_EQ(CurveX(2), 1000);
    Adv(3)->SetText("abc");
    Save();
    std::vector<int> advances = LayoutAdvances;
    advances[2] = 0;
    std::vector<int> rpms = Steps(1000, 1000);
    rpms[0] = 950;
    rpms[1] = 1050;
    EXPECT_EQ(ReadFile(), SavedFile(advances, rpms));
}

TEST_F(CurveFile, AnOrderedFileInRangeLoadsExactly) {
    WriteFile(SavedFile(std::vector<int>(13, 20), Steps(600, 700)));
    Load();
    EXPECT_EQ(RpmBoxes(), Steps(600, 700));
    EXPECT_EQ(CurveXs(), AsDoubles(Steps(600, 700)));
    EXPECT_EQ(AdvBoxes(), std::vector<int>(13, 20));
    EXPECT_EQ(CurveYs(), std::vector<double>(13, 20));
    EXPECT_TRUE(Platform.MessageBox.Messages.empty());
}

TEST_F(CurveFile, LoadedSpeedsPushTheirNeighboursAsTheyArrive) {
    struct Case {
        const char* name;
        QByteArray file;
        std::vector<int> boxes;
    };
    const std::vector<Case> cases{
        {"1000/1050/1100",
         LayoutFileWith({{1, "1000"}, {2, "1050"}, {3, "1100"}}),
         {950, 1050, 1100, 4000, 5000, 6000, 7000, 8000, 9000, 10000, 11000, 12000, 13000}},
        {"5000 then 4000",
         LayoutFileWith({{1, "5000"}, {2, "4000"}}),
         {2800, 2900, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000, 11000, 12000, 13000}},
        {"all 20000",
         SavedFile(LayoutAdvances, std::vector<int>(13, 20000)),
         {18800, 19000, 19200, 19400, 19600, 19800, 20000, 20000, 20000, 20000, 20000, 20000,
          20000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Restart();
        WriteFile(c.file);
        Load();
        EXPECT_EQ(RpmBoxes(), c.boxes);
        for (int k = 1; k <= 13; ++k)
            EXPECT_EQ(CurveX(k), (c.boxes[k - 1] / 100) * 100) << "point " << k;
        EXPECT_TRUE(Platform.MessageBox.Messages.empty());
    }
}

TEST_F(CurveFile, OutOfRangeAndHexadecimalValuesGoThroughTheBoxes) {
    WriteFile(LayoutFileWith({{1, "100"}, {13, "0x4E20"}},
                             {{1, "99"}, {2, "-3"}, {3, "'0x1F'"}, {4, "0X1f"}, {5, "$1F"}}));
    Load();
    EXPECT_EQ(Rpm(1)->Text(), "500");
    EXPECT_EQ(CurveX(1), 500);
    EXPECT_EQ(Rpm(13)->Text(), "20000");
    EXPECT_EQ(Adv(1)->Text(), "50");
    EXPECT_EQ(Adv(2)->Text(), "0");
    for (int k = 3; k <= 5; ++k)
        EXPECT_EQ(Adv(k)->Text(), "31") << k;
    // Point 6's box already shows the file's 8, so its rule does not run.
    EXPECT_EQ(CurveYs(), AsDoubles({50, 0, 31, 31, 31, 11, 6, 10, 12, 12, 10, 10, 8}));

    Restart();
    WriteFile(LayoutFileWith({{1, "0x1F4"}, {2, "0X1f4"}}));
    Load();
    // Point 2 at 500 finds point 1 already at the bottom bound: both stay there.
    EXPECT_EQ(Rpm(1)->Text(), "500");
    EXPECT_EQ(Rpm(2)->Text(), "500");
    EXPECT_EQ(Rpm(3)->Text(), "3000");
}

TEST_F(CurveFile, AMissingKeyWritesTheBoxesOwnReadingBackIntoIt) {
    WriteFile("[RPM]\n1=1000\n");
    Adv(3)->SetText("abc");
    const int draws = Form->Chart1->DrawCount();
    Load();
    EXPECT_EQ(Adv(3)->Text(), "0");
    EXPECT_EQ(CurveY(3), 0);
    EXPECT_EQ(Form->Chart1->DrawCount(), draws + 1);
    EXPECT_EQ(Adv(4)->Text(), "12");
    EXPECT_EQ(CurveY(4), 10);
}

TEST_F(CurveFile, UnreadableOrBrokenFilesLoadAsNothingWithoutAMessage) {
    const int draws = Form->Chart1->DrawCount();
    WriteFile(QByteArray("\x00\xFF[RPM\n=\n[ADV]]\n1==\n2=abc\n3=\"7", 30));
    Load();
    ASSERT_TRUE(QFile::remove("quendrix_timing.ini"));
    ASSERT_TRUE(QDir().mkdir("quendrix_timing.ini"));
    Load();
    EXPECT_EQ(RpmBoxes(), Steps(1000, 1000));
    EXPECT_EQ(AdvBoxes(), LayoutAdvances);
    EXPECT_EQ(Form->Chart1->DrawCount(), draws);
    EXPECT_TRUE(Platform.MessageBox.Messages.empty());
}

TEST_F(CurveFile, ARefusedFileGivesOneMessagePerValueAndStaysAsItWas) {
    const QByteArray before = "[ADV]\n1=33\n";
    WriteFile(before);
    MakeReadOnly();
    Save();
    ASSERT_EQ(Platform.MessageBox.Messages.size(), 26u);
    for (const TRecordedMessage& message : Platform.MessageBox.Messages) {
        EXPECT_EQ(message.Title, ApplicationTitle());
        EXPECT_EQ(message.Text, AccessFailure);
    }
    EXPECT_EQ(ReadFile(), before);

    Platform.MessageBox.Messages.clear();
    Load();
    EXPECT_EQ(Adv(1)->Value(), 33);
    EXPECT_TRUE(Platform.MessageBox.Messages.empty());
}

TEST_F(CurveFile, AVanishedWorkingDirectoryGivesOneMessagePerValue) {
    ASSERT_TRUE(QDir().mkdir("gone"));
    ASSERT_TRUE(QDir::setCurrent(FDir.filePath("gone")));
    ASSERT_TRUE(QDir(FDir.path()).rmdir("gone"));
    Save();
    EXPECT_EQ(MessageTexts(), QStringList(26, AccessFailure));
    Load();
    EXPECT_EQ(Platform.MessageBox.Messages.size(), 26u);
    EXPECT_TRUE(QDir(FDir.path()).isEmpty());
}

// Makes the file writable when the user closes the first message, and notes what the file held
// while each message was up.
class TUnlockingMessageBox : public IMessageBox {
public:
    void Show(QWidget*, const QString&, const QString& text) override {
        Texts << text;
        QFile file("quendrix_timing.ini");
        FileWhileShown << (file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
        ::chmod("quendrix_timing.ini", 0644);
    }
    QStringList Texts;
    QList<QByteArray> FileWhileShown;
};

TEST_F(CurveFile, EachFailureIsReportedBeforeTheNextWriteIsTried) {
    const QByteArray before = "; mine\n[ADV]\n1=33\n";
    WriteFile(before);
    MakeReadOnly();
    TUnlockingMessageBox messages;
    TPlatform services = Platform.Services();
    services.MessageBox = &messages;
    TForm1 form(services);
    form.B_SaveIniFileClick(form.B_SaveIniFile);

    EXPECT_EQ(messages.Texts, QStringList{AccessFailure});
    EXPECT_EQ(messages.FileWhileShown, QList<QByteArray>{before});
    std::vector<int> advances = LayoutAdvances;
    advances[0] = 33;
    EXPECT_EQ(ReadFile(), "; mine\n" + SavedFile(advances, Steps(1000, 1000)));
}

TEST_F(CurveFile, SaveKeepsWhatElseTheFileHolds) {
    const QByteArray before = "; tuned on the dyno\r\n"
                              "[Engine]\r\n"
                              "name = Quendrix\r\n"
                              "\r\n"
                              "[RPM]\r\n"
                              "13=1\r\n"
                              "extra=yes\r\n";
    WriteFile(before);
    Save();
    QByteArray expected = "; tuned on the dyno\r\n"
                          "[Engine]\r\n"
                          "name = Quendrix\r\n"
                          "\r\n"
                          "[RPM]\r\n"
                          "13=13000\r\n"
                          "extra=yes\r\n";
    for (int k = 1; k <= 12; ++k)
        expected += QByteArray::number(k) + "=" + QByteArray::number(1000 * k) + "\r\n";
    expected += "\r\n[ADV]\r\n";
    for (int k = 1; k <= 13; ++k)
        expected +=
            QByteArray::number(k) + "=" + QByteArray::number(LayoutAdvances[k - 1]) + "\r\n";
    EXPECT_EQ(ReadFile(), expected);
    EXPECT_TRUE(Platform.MessageBox.Messages.empty());

    Rpm(1)->SetValue(1500);
    Load();
    EXPECT_EQ(RpmBoxes(), Steps(1000, 1000));
}

TEST_F(CurveFile, TheFileIsLookedForInTheWorkingDirectoryOfTheClick) {
    Save();
    ASSERT_TRUE(QDir().mkdir("elsewhere"));
    ASSERT_TRUE(QDir::setCurrent(FDir.filePath("elsewhere")));
    Adv(1)->SetValue(40);
    Load();
    EXPECT_EQ(Adv(1)->Value(), 40);
    ASSERT_TRUE(QDir::setCurrent(FDir.path()));
    Load();
    EXPECT_EQ(Adv(1)->Value(), 10);
}

} // namespace

int main(int argc, char** argv) {
    return RunQtTests(argc, argv);
}
