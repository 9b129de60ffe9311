#include "editor/EditorFixture.h"

#include "file/FileStepHook.h"
#include "file/PrivateProfile.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <map>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace {

const char* const FileName = "quendrix_timing.ini";
const QString AccessFailure =
    QString::fromUtf8("Cant read/write from INI File (Access autorization?)"
                      "Impossible d'écrire dans ./quendrix_timing.ini");
const std::vector<int> LayoutAdv{10, 10, 12, 12, 10, 8, 6, 10, 12, 12, 10, 10, 8};
// The chart's advances at start: they differ from the boxes at points 4 and 6.
const std::vector<int> LayoutCurveY{10, 10, 12, 10, 10, 11, 6, 10, 12, 12, 10, 10, 8};

std::vector<int> Steps(int first, int step) {
    std::vector<int> values;
    for (int k = 0; k < 13; ++k)
        values.push_back(first + k * step);
    return values;
}
const std::vector<int> LayoutRpm = Steps(1000, 1000);

// head followed by the values of rest after it.
std::vector<int> Starting(std::vector<int> head, const std::vector<int>& rest) {
    head.insert(head.end(), rest.begin() + static_cast<std::ptrdiff_t>(head.size()), rest.end());
    return head;
}

// One section as Save writes it, with the keys of raw holding raw text instead.
QByteArray Section(const char* name, const std::vector<int>& values,
                   const std::map<int, QByteArray>& raw = {}) {
    QByteArray text = QByteArray("[") + name + "]\n";
    for (int k = 1; k <= 13; ++k)
        text += QByteArray::number(k) + "=" +
                (raw.count(k) ? raw.at(k) : QByteArray::number(values[k - 1])) + "\n";
    return text;
}

QByteArray SavedFile(const std::vector<int>& adv, const std::vector<int>& rpm,
                     const std::map<int, QByteArray>& rawAdv = {},
                     const std::map<int, QByteArray>& rawRpm = {}) {
    return Section("ADV", adv, rawAdv) + "\n" + Section("RPM", rpm, rawRpm);
}

void WriteFile(const QByteArray& bytes) {
    QFile file(FileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray ReadFile() {
    QFile file(FileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : "<missing>";
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
    // A fresh window in its initial state, in the test's directory, without file or messages.
    void Restart() {
        EditorFixture::TearDown();
        ASSERT_TRUE(QDir::setCurrent(FDir.path()));
        QFile::remove(FileName);
        QDir().rmdir(FileName);
        Platform.MessageBox.Messages.clear();
        EditorFixture::SetUp();
    }

    void Save() { Form->B_SaveIniFile->click(); }
    void Load() { Form->B_LoadIniFile->click(); }
    template <class Read> static std::vector<int> Each(Read read) {
        std::vector<int> values;
        for (int k = 1; k <= 13; ++k)
            values.push_back(static_cast<int>(read(k)));
        return values;
    }
    std::vector<int> AdvBoxes() const {
        return Each([this](int k) { return Adv(k)->Value(); });
    }
    QStringList Messages() const {
        QStringList texts;
        for (const TRecordedMessage& message : Platform.MessageBox.Messages)
            texts << message.Title + ": " + message.Text;
        return texts;
    }

    QTemporaryDir FDir;
    QString FPrevious;
};

TEST_F(CurveFile, SaveThenLoadAtStartChangesNothing) {
    const int draws = Form->Chart1->DrawCount();
    Load();
    EXPECT_EQ(ReadFile(), "<missing>");
    Save();
    EXPECT_EQ(ReadFile(), SavedFile(LayoutAdv, LayoutRpm));
    Load();
    EXPECT_EQ(RpmBoxes(), LayoutRpm);
    EXPECT_EQ(AdvBoxes(), LayoutAdv);
    EXPECT_EQ(Each([this](int k) { return CurveY(k); }), LayoutCurveY);
    EXPECT_EQ(Form->Chart1->DrawCount(), draws);
    EXPECT_TRUE(Messages().isEmpty());
}

TEST_F(CurveFile, SaveWritesWhatTheBoxesShowAndLoadBringsItBack) {
    Rpm(2)->SetValue(1050); // the curve holds 1000
    Rpm(1)->SetText("abc"); // text that does not convert reads as the box's minimum
    Adv(3)->SetText("abc");
    Adv(5)->SetValue(50);
    std::vector<int> adv = LayoutAdv, rpm = Starting({500, 1050}, LayoutRpm);
    adv[2] = 0;
    adv[4] = 50;
    Save();
    EXPECT_EQ(ReadFile(), SavedFile(adv, rpm));

    Restart();
    WriteFile(SavedFile(adv, rpm));
    Load();
    EXPECT_EQ(RpmBoxes(), rpm);
    EXPECT_EQ(AdvBoxes(), adv);
}

TEST_F(CurveFile, LoadedValuesGoThroughTheBoxesOneByOne) {
    const std::vector<int> all20(13, 20), all20000(13, 20000), from500 = Starting({500}, LayoutRpm);
    const auto rpm1 = [](const char* text) {
        return SavedFile(LayoutAdv, LayoutRpm, {}, {{1, text}});
    };
    const struct {
        const char* name;
        QByteArray file;
        std::vector<int> rpm, adv;
    } rows[] = {
        {"ordered", SavedFile(all20, Steps(600, 700)), Steps(600, 700), all20},
        {"1000/1050/1100", SavedFile(LayoutAdv, LayoutRpm, {}, {{2, "1050"}, {3, "1100"}}),
         Starting({950, 1050, 1100}, LayoutRpm), LayoutAdv},
        {"5000 then 4000", SavedFile(LayoutAdv, LayoutRpm, {}, {{1, "5000"}, {2, "4000"}}),
         Starting({2800, 2900, 3000}, LayoutRpm), LayoutAdv},
        {"all 20000", SavedFile(LayoutAdv, all20000),
         Starting({18800, 19000, 19200, 19400, 19600, 19800}, all20000), LayoutAdv},
        {"out of range", SavedFile(LayoutAdv, LayoutRpm, {{1, "99"}, {2, "-3"}}, {{1, "100"}}),
         from500, Starting({50, 0}, LayoutAdv)},
        {"'0x1F4'", rpm1("'0x1F4'"), from500, LayoutAdv},
        {"0X1f4", rpm1("0X1f4"), from500, LayoutAdv},
        {"$1F4", rpm1("$1F4"), from500, LayoutAdv},
        {"garbage", QByteArray("\x00\xFF[RPM\n=\n[ADV]]\n1==\n2=abc\n3=\"7", 30), LayoutRpm,
         LayoutAdv},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Restart();
        WriteFile(row.file);
        Load();
        EXPECT_EQ(RpmBoxes(), row.rpm);
        EXPECT_EQ(AdvBoxes(), row.adv);
        for (int i = 0; i < 13; ++i) {
            EXPECT_EQ(CurveX(i + 1), row.rpm[i] / 100 * 100) << "point " << i + 1;
            // An advance box whose text did not change ran no rule.
            EXPECT_EQ(CurveY(i + 1), row.adv[i] == LayoutAdv[i] ? LayoutCurveY[i] : row.adv[i])
                << "point " << i + 1;
        }
        EXPECT_TRUE(Messages().isEmpty());
    }
}

TEST_F(CurveFile, AMissingKeyWritesTheBoxesOwnReadingBackIntoIt) {
    Adv(3)->SetText("abc");
    const int draws = Form->Chart1->DrawCount();
    Load();
    EXPECT_EQ(Adv(3)->Text(), "0");
    EXPECT_EQ(Form->Chart1->DrawCount(), draws + 1);
}

// A lock that another program holds on the file for the whole save delays it once, in its first
// write, and a load in its first read, not at each value: the same 26 messages come a few
// seconds later, not minutes.
TEST_F(CurveFile, SaveThatCannotWriteShowsOneMessagePerValueAndChangesNothing) {
    int held = -1;
    const std::pair<const char*, std::function<void()>> setups[] = {
        {"read-only file",
         [] {
             WriteFile("[ADV]\n1=33\n");
             ASSERT_EQ(::chmod(FileName, 0444), 0);
         }},
        {"directory as the file", [] { ASSERT_TRUE(QDir().mkdir(FileName)); }},
        {"vanished working directory",
         [this] {
             ASSERT_TRUE(QDir().mkdir("gone"));
             ASSERT_TRUE(QDir::setCurrent(FDir.filePath("gone")));
             ASSERT_TRUE(QDir(FDir.path()).rmdir("gone"));
         }},
        {"another writer holds the file's lock", [&held] {
             WriteFile("[ADV]\n1=33\n");
             held = ::open(FileName, O_RDWR | O_CLOEXEC);
             struct flock lock {}; // the whole file, as other programs lock it
             lock.l_type = F_WRLCK;
             ASSERT_EQ(::fcntl(held, F_OFD_SETLK, &lock), 0);
         }}};
    for (const auto& [name, setup] : setups) {
        SCOPED_TRACE(name);
        Restart();
        setup();
        const QByteArray before = ReadFile();
        const QStringList entries = QDir(FDir.path()).entryList();
        int places = 0; // the 26 writes and the flush of Save, then the reads of Load
        std::set<int> waited;
        SetFileStepHook([&](TFileStep step, int) {
            places += step == TFileStep::PlaceHeld;
            if (step == TFileStep::WaitingForLock)
                waited.insert(places);
        });
        Save();
        EXPECT_EQ(Messages(), QStringList(26, ApplicationTitle() + ": " + AccessFailure));
        Load();
        SetFileStepHook({});
        EXPECT_EQ(Messages().size(), 26);
        EXPECT_EQ(ReadFile(), before);
        EXPECT_EQ(QDir(FDir.path()).entryList(), entries);
        EXPECT_EQ(waited, (held >= 0 ? std::set<int>{1, 28} : std::set<int>{}));
        if (held >= 0)
            ::close(std::exchange(held, -1));
    }
}

// Makes the file writable when the user closes the first message.
class TUnlockingMessageBox : public IMessageBox {
public:
    void Show(QWidget*, const QString&, const QString& text) override {
        Texts << text;
        ::chmod(FileName, 0644);
    }
    QStringList Texts;
};

TEST_F(CurveFile, EachFailureIsReportedBeforeTheNextWriteIsTried) {
    WriteFile("; mine\n[ADV]\n1=33\n");
    ASSERT_EQ(::chmod(FileName, 0444), 0);
    TUnlockingMessageBox messages;
    TPlatform services = Platform.Services();
    services.MessageBox = &messages;
    TForm1 form(services);
    form.B_SaveIniFileClick(form.B_SaveIniFile);

    EXPECT_EQ(messages.Texts, QStringList{AccessFailure});
    EXPECT_EQ(ReadFile(), "; mine\n" + SavedFile(Starting({33}, LayoutAdv), LayoutRpm));
}

TEST_F(CurveFile, SaveKeepsWhatElseTheFileHolds) {
    const QByteArray before = "\xEF\xBB\xBF; dyno\r\n[Engine]\r\nname = Q\r\n";
    WriteFile(before);
    Save();
    EXPECT_EQ(ReadFile(),
              before + QByteArray("\n" + SavedFile(LayoutAdv, LayoutRpm)).replace("\n", "\r\n"));
}

// Names as the kernel has them, bytes that are not UTF-8 included.
std::vector<QByteArray> NamesIn(const char* folder) {
    std::vector<QByteArray> names;
    DIR* entries = ::opendir(folder);
    while (const dirent* entry = entries ? ::readdir(entries) : nullptr)
        names.emplace_back(entry->d_name);
    if (entries)
        ::closedir(entries);
    std::sort(names.begin(), names.end());
    return names;
}

// A save killed (as by kill -9) when its new file is complete, just before it takes the file's
// place: it leaves that new file behind.
void KillASaveBeforeItsSwap() {
    const QString section = "ADV", key = "1", value = "99";
    const pid_t pid = ::fork();
    if (pid == 0) {
        SetFileStepHook([](TFileStep step, int) {
            if (step == TFileStep::Replacing)
                ::_exit(3);
        });
        ::_exit(bool(WritePrivateProfileString(&section, &key, &value, FileName)));
    }
    int status = 0;
    ASSERT_TRUE(::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 3);
}

// Save writes the file the kernel reaches through the links, Load reads that same file, and a
// save removes what a killed save left beside it. The window works in the folder "w".
TEST_F(CurveFile, SaveAndLoadThroughALinkReachTheFileTheLinkLeadsTo) {
    const struct {
        const char* what;
        std::vector<std::pair<const char*, const char*>> links;
        const char *folder, *target;
    } rows[] = {
        {"a name that is not UTF-8", {{"courbe-\xe9.ini", FileName}}, ".", "courbe-\xe9.ini"},
        {"a linked folder and ..",
         {{"../o/deep", "dd"}, {"dd/../x.ini", FileName}},
         "../o",
         "../o/x.ini"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Restart();
        ASSERT_TRUE(QDir().mkpath("o/deep") && QDir().mkdir("w") && QDir::setCurrent("w"));
        for (const auto& [target, name] : row.links)
            ASSERT_EQ(::symlink(target, name), 0);
        ASSERT_EQ(::close(::open(row.target, O_CREAT | O_WRONLY | O_CLOEXEC, 0644)), 0);
        const std::vector<QByteArray> expected = NamesIn(row.folder);
        KillASaveBeforeItsSwap();
        ASSERT_EQ(NamesIn(row.folder).size(), expected.size() + 1);
        const std::vector<QByteArray> here = NamesIn(".");
        Save();
        EXPECT_EQ(Messages(), QStringList());
        QFile target;
        ASSERT_TRUE(target.open(::open(row.target, O_RDONLY | O_CLOEXEC), QIODevice::ReadOnly,
                                QFileDevice::AutoCloseHandle));
        EXPECT_EQ(target.readAll(), SavedFile(LayoutAdv, LayoutRpm));
        EXPECT_EQ(NamesIn(row.folder), expected);
        if (std::string(row.folder) != ".") {
            EXPECT_EQ(NamesIn("."), here);
        }
        Adv(1)->SetValue(20);
        Load();
        EXPECT_EQ(Adv(1)->Value(), 10);
        ASSERT_EQ(::unlink(row.target), 0); // Qt cannot name it
        ASSERT_TRUE(QDir::setCurrent(FDir.path()));
        ASSERT_TRUE(QDir("w").removeRecursively() && QDir("o").removeRecursively());
    }
}

} // namespace
