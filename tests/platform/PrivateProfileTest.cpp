#include "platform/PrivateProfile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <csignal>
#include <functional>
#include <grp.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uid_t Nobody = 65534;
constexpr gid_t NoGroup = 65534;

class PrivateProfileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }

    QString Path(const QString& name) const { return FDir.filePath(name); }

    void WriteBytes(const QString& name, const QByteArray& bytes) const {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    QByteArray ReadBytes(const QString& name) const {
        QFile file(Path(name));
        if (!file.open(QIODevice::ReadOnly))
            return "<missing>";
        return file.readAll();
    }

    bool Set(const QString& section, const QString& key, const QString& value,
             const QString& name = QStringLiteral("t.ini")) const {
        return WritePrivateProfileString(&section, &key, &value, Path(name));
    }

    QString Get(const QString& section, const QString& key, const QString& def = "<def>",
                const QString& name = QStringLiteral("t.ini"), int size = 2048) const {
        return GetPrivateProfileString(section, key, def, size, Path(name));
    }

    // The file written, then one key set: the file must end up exactly as expected.
    void ExpectEdit(const QByteArray& before, const QString& section, const QString& key,
                    const QString& value, const QByteArray& after) const {
        WriteBytes("t.ini", before);
        EXPECT_TRUE(Set(section, key, value));
        EXPECT_EQ(ReadBytes("t.ini"), after);
    }

    QStringList Entries() const {
        return QDir(FDir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    }

    QTemporaryDir FDir;
};

QByteArray Utf16(const QString& text, bool littleEndian) {
    QByteArray bytes = littleEndian ? QByteArray("\xFF\xFE", 2) : QByteArray("\xFE\xFF", 2);
    for (QChar c : text) {
        const char low = static_cast<char>(c.unicode() & 0xFF);
        const char high = static_cast<char>(c.unicode() >> 8);
        bytes.append(littleEndian ? low : high);
        bytes.append(littleEndian ? high : low);
    }
    return bytes;
}

// Runs work in a child process and returns its exit code, or -1 when the child did not exit
// normally. setup runs in the child first (dropping privileges, lowering limits).
int InChild(const std::function<void()>& setup, const std::function<bool()>& work) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        setup();
        ::_exit(work() ? 1 : 0);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

void BecomeNobody() {
    if (::setgroups(0, nullptr) != 0 || ::setresgid(NoGroup, NoGroup, NoGroup) != 0 ||
        ::setresuid(Nobody, Nobody, Nobody) != 0)
        ::_exit(99);
}

// 1 when the unprivileged write succeeded, 0 when it failed.
int WriteAsNobody(const QString& fileName) {
    return InChild(BecomeNobody, [&] {
        const QString section = "ADV", key = "1", value = "10";
        return WritePrivateProfileString(&section, &key, &value, fileName);
    });
}

TEST_F(PrivateProfileTest, MissingFileSectionOrKeyReadsAsDefault) {
    EXPECT_EQ(Get("ADV", "1"), "<def>");
    WriteBytes("t.ini", "[ADV]\n1=10\n");
    EXPECT_EQ(Get("RPM", "1"), "<def>");
    EXPECT_EQ(Get("ADV", "2"), "<def>");
    EXPECT_EQ(Get("ADV", "1"), "10");
    EXPECT_EQ(Get("ADV", "1", "<def>", "absent/t.ini"), "<def>");
}

TEST_F(PrivateProfileTest, NamesMatchIgnoringCaseAndSurroundingBlanks) {
    WriteBytes("t.ini", "  [ Adv Curve ]  \n \t Key One\t=  42\n[Écart]\nÀ=1\n");
    EXPECT_EQ(Get("adv curve", "KEY ONE"), "42");
    EXPECT_EQ(Get(" ADV CURVE\t", " key one "), "42");
    EXPECT_EQ(Get("écart", "à"), "1");
    EXPECT_EQ(Get("advcurve", "keyone"), "<def>");
}

TEST_F(PrivateProfileTest, ValuesLoseSurroundingBlanksAndOnePairOfMatchingQuotes) {
    WriteBytes("t.ini", "[A]\n"
                        "plain =  x y \t\n"
                        "double=\"x y\"\n"
                        "single= 'q' \n"
                        "inner=\" kept \"\n"
                        "mixed=\"open'\n"
                        "lone=\"\n"
                        "empty=\"\"\n"
                        "nested=\"'both'\"\n"
                        "equals=a=b\n"
                        "blank=\n");
    EXPECT_EQ(Get("A", "plain"), "x y");
    EXPECT_EQ(Get("A", "double"), "x y");
    EXPECT_EQ(Get("A", "single"), "q");
    EXPECT_EQ(Get("A", "inner"), " kept ");
    EXPECT_EQ(Get("A", "mixed"), "\"open'");
    EXPECT_EQ(Get("A", "lone"), "\"");
    EXPECT_EQ(Get("A", "empty"), "");
    EXPECT_EQ(Get("A", "nested"), "'both'");
    EXPECT_EQ(Get("A", "equals"), "a=b");
    EXPECT_EQ(Get("A", "blank"), "");
}

TEST_F(PrivateProfileTest, CommentsAndStrayLinesAreSkipped) {
    WriteBytes("t.ini", "k=0\n"
                        "[A]\n"
                        ";k=1\n"
                        "  # k=2\n"
                        "; [B]\n"
                        "k\n"
                        "k=3\n"
                        "only\n");
    EXPECT_EQ(Get("A", "k"), "3");
    EXPECT_EQ(Get("A", "only"), "<def>");
    EXPECT_EQ(Get("B", "k"), "<def>");
}

TEST_F(PrivateProfileTest, LineEndsAndUtf8ByteOrderMarkRead) {
    WriteBytes("t.ini", "\xEF\xBB\xBF[ADV]\r\n1=10\r\n2 = 'x' \r\n[RPM]\n1=1000");
    EXPECT_EQ(Get("ADV", "1"), "10");
    EXPECT_EQ(Get("ADV", "2"), "x");
    EXPECT_EQ(Get("RPM", "1"), "1000");
}

TEST_F(PrivateProfileTest, Utf16FilesWithByteOrderMarkRead) {
    const QString text = "[ADV]\r\n1=10\r\n2=Über\r\n[RPM]\r\n1=1000\r\n";
    for (bool littleEndian : {true, false}) {
        WriteBytes("t.ini", Utf16(text, littleEndian));
        EXPECT_EQ(Get("ADV", "1"), "10") << littleEndian;
        EXPECT_EQ(Get("ADV", "2"), "Über") << littleEndian;
        EXPECT_EQ(Get("RPM", "1"), "1000") << littleEndian;
    }
}

TEST_F(PrivateProfileTest, FirstSectionAndFirstKeyOfANameWin) {
    WriteBytes("t.ini", "[A]\nk=1\nK=2\n[b]\nk=5\n[a]\nk=3\nj=4\n");
    EXPECT_EQ(Get("A", "k"), "1");
    EXPECT_EQ(Get("A", "j"), "<def>");
    EXPECT_EQ(Get("B", "k"), "5");
}

TEST_F(PrivateProfileTest, ReadTextIsCutToOneLessThanTheBuffer) {
    const QByteArray longValue(3000, 'v');
    WriteBytes("t.ini", "[A]\nk=" + longValue + "\n");
    EXPECT_EQ(Get("A", "k", "", "t.ini", 2048), QString(2047, u'v'));
    EXPECT_EQ(Get("A", "k", "", "t.ini", 4), "vvv");
    EXPECT_EQ(Get("A", "k", "", "t.ini", 1), "");
    EXPECT_EQ(Get("A", "k", "", "t.ini", 0), "");
    EXPECT_EQ(Get("A", "missing", "default", "t.ini", 4), "def");
}

TEST_F(PrivateProfileTest, BinaryGarbageAroundTheKeysIsHarmless) {
    std::mt19937 random(1234);
    QByteArray garbage = "x";
    for (int i = 0; i < 64 * 1024; ++i)
        garbage.append(static_cast<char>(random() & 0xFF));
    garbage.append('\0');
    // A literal would stop at its NUL, so the NUL goes in by hand.
    QByteArray file = garbage + "\n[A]\nk=1\nnul=a";
    file.append('\0');
    file.append("b\nafter=2\n");
    file.append(garbage);
    WriteBytes("t.ini", file);

    EXPECT_EQ(Get("A", "k"), "1");
    EXPECT_EQ(Get("A", "nul").size(), 3);
    EXPECT_EQ(Get("A", "after"), "2");

    EXPECT_TRUE(Set("A", "k", "9"));
    QByteArray expected = file;
    expected.replace(garbage.size() + 7, 1, "9");
    EXPECT_EQ(ReadBytes("t.ini"), expected);
}

TEST_F(PrivateProfileTest, OneMegabyteLinesReadAndWrite) {
    const QByteArray huge(1 << 20, 'x');
    WriteBytes("t.ini", "[A]\n" + huge + "\nlong=" + huge + "\nk=1\n");
    EXPECT_EQ(Get("A", "k"), "1");
    EXPECT_EQ(Get("A", "long").size(), 2047);
    EXPECT_TRUE(Set("A", "k", "2"));
    EXPECT_EQ(ReadBytes("t.ini"), "[A]\n" + huge + "\nlong=" + huge + "\nk=2\n");
}

TEST_F(PrivateProfileTest, ManyLinesBeforeTheSectionStillRead) {
    QByteArray file;
    for (int i = 0; i < 2'000'000; ++i)
        file.append("x\n");
    file.append("[A]\nk=1\n");
    WriteBytes("t.ini", file);
    EXPECT_EQ(Get("A", "k"), "1");
    EXPECT_TRUE(Set("A", "j", "2"));
    EXPECT_EQ(ReadBytes("t.ini"), file + "j=2\n");
}

TEST_F(PrivateProfileTest, FilesAboveTheSizeLimitAreNeitherParsedNorReplaced) {
    const QByteArray head = "[A]\nk=1\n";
    WriteBytes("t.ini", head);
    {
        QFile file(Path("t.ini"));
        ASSERT_TRUE(file.resize(100 * 1024 * 1024));
    }
    EXPECT_EQ(Get("A", "k"), "<def>");
    EXPECT_FALSE(Set("A", "k", "2"));
    EXPECT_EQ(QFileInfo(Path("t.ini")).size(), 100 * 1024 * 1024);
    QFile file(Path("t.ini"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(head.size()), head);
}

TEST_F(PrivateProfileTest, FilesThatAreNotRegularFilesReadAsDefaultAndRefuseWrites) {
    ASSERT_TRUE(QDir(FDir.path()).mkdir("dir.ini"));
    EXPECT_EQ(Get("A", "k", "<def>", "dir.ini"), "<def>");
    EXPECT_FALSE(Set("A", "k", "1", "dir.ini"));
    EXPECT_TRUE(QFileInfo(Path("dir.ini")).isDir());

    // Opening a FIFO for reading would wait for a writer forever.
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path("fifo.ini")).constData(), 0644), 0);
    EXPECT_EQ(Get("A", "k", "<def>", "fifo.ini"), "<def>");
    EXPECT_FALSE(Set("A", "k", "1", "fifo.ini"));
    EXPECT_TRUE(WritePrivateProfileString(nullptr, nullptr, nullptr, Path("fifo.ini")));
}

TEST_F(PrivateProfileTest, CreatesAMissingFileWithSectionsInOrderOfFirstWrite) {
    EXPECT_TRUE(Set("ADV", "1", "10"));
    EXPECT_EQ(ReadBytes("t.ini"), "[ADV]\n1=10\n");
    EXPECT_TRUE(Set("RPM", "1", "1000"));
    EXPECT_TRUE(Set("ADV", "2", "12"));
    EXPECT_TRUE(Set("RPM", "2", "2000"));
    EXPECT_EQ(ReadBytes("t.ini"), "[ADV]\n1=10\n2=12\n\n[RPM]\n1=1000\n2=2000\n");
    EXPECT_EQ(Get("ADV", "2"), "12");
    EXPECT_EQ(Get("RPM", "2"), "2000");
}

TEST_F(PrivateProfileTest, AKeyAlreadyPresentKeepsItsLine) {
    ExpectEdit("[A]\nx=1\nk = 5\ny=2\n", "A", "k", "7", "[A]\nx=1\nk = 7\ny=2\n");
    ExpectEdit("[A]\nk=\"old value\"  \n", "A", "k", "new", "[A]\nk=new\n");
    ExpectEdit("[A]\nk=\n", "A", "k", "1", "[A]\nk=1\n");
    ExpectEdit("[adv]\n  KEY\t=1\n", " ADV", "key ", "2", "[adv]\n  KEY\t=2\n");
    ExpectEdit("[A]\nk=1", "A", "k", "22", "[A]\nk=22");
}

TEST_F(PrivateProfileTest, AMissingKeyGoesAfterTheLastKeyOfItsSection) {
    ExpectEdit("[A]\nx=1\n; note\ny=2\n\n; about B\n[B]\nz=3\n", "A", "k", "9",
               "[A]\nx=1\n; note\ny=2\nk=9\n\n; about B\n[B]\nz=3\n");
    ExpectEdit("[A]\n\n[B]\n", "A", "k", "1", "[A]\nk=1\n\n[B]\n");
    ExpectEdit("[A]\nx=1", "A", "k", "2", "[A]\nx=1\nk=2");
    ExpectEdit("[A]", "A", "k", "2", "[A]\nk=2");
}

TEST_F(PrivateProfileTest, AMissingSectionGoesAtTheEndAfterABlankLine) {
    ExpectEdit("; top\n[A]\nx=1", "B", "k", "1", "; top\n[A]\nx=1\n\n[B]\nk=1\n");
    ExpectEdit("[A]\nx=1\n\n", "B", "k", "1", "[A]\nx=1\n\n[B]\nk=1\n");
    ExpectEdit("", "B", "k", "1", "[B]\nk=1\n");
    ExpectEdit("\xEF\xBB\xBF", "B", "k", "1", "\xEF\xBB\xBF[B]\nk=1\n");
}

TEST_F(PrivateProfileTest, CrlfFilesStayCrlf) {
    WriteBytes("t.ini", "[A]\r\nx=1\r\n");
    EXPECT_TRUE(Set("A", "x", "5"));
    EXPECT_TRUE(Set("A", "k", "2"));
    EXPECT_TRUE(Set("B", "k", "3"));
    EXPECT_EQ(ReadBytes("t.ini"), "[A]\r\nx=5\r\nk=2\r\n\r\n[B]\r\nk=3\r\n");
}

TEST_F(PrivateProfileTest, ForeignContentIsKeptByteForByte) {
    const QByteArray before = "\xEF\xBB\xBF"
                              "; Written by hand\r\n"
                              "\r\n"
                              "[Other]  ; trailing words\n"
                              "name = \"Quendrix\"\t\n"
                              "\xFF\xFE garbage \x01\n"
                              "[ADV]\r\n"
                              "# keep me\r\n"
                              "1=10\r\n"
                              "2=10\r\n"
                              "\r\n"
                              "[Tail]\n"
                              "z=26   ";
    const QByteArray after = "\xEF\xBB\xBF"
                             "; Written by hand\r\n"
                             "\r\n"
                             "[Other]  ; trailing words\n"
                             "name = \"Quendrix\"\t\n"
                             "\xFF\xFE garbage \x01\n"
                             "[ADV]\r\n"
                             "# keep me\r\n"
                             "1=10\r\n"
                             "2=14\r\n"
                             "3=8\r\n"
                             "\r\n"
                             "[Tail]\n"
                             "z=26   \r\n"
                             "\r\n"
                             "[RPM]\r\n"
                             "1=1000\r\n";
    WriteBytes("t.ini", before);
    EXPECT_TRUE(Set("ADV", "2", "14"));
    EXPECT_TRUE(Set("ADV", "3", "8"));
    EXPECT_TRUE(Set("RPM", "1", "1000"));
    EXPECT_EQ(ReadBytes("t.ini"), after);
    EXPECT_EQ(Get("Other", "name"), "Quendrix");
    EXPECT_EQ(Get("Tail", "z"), "26");
}

TEST_F(PrivateProfileTest, DuplicatesAreWrittenInTheFirstSectionAndFirstKey) {
    WriteBytes("t.ini", "[A]\nk=1\nk=2\n[A]\nk=3\n");
    EXPECT_TRUE(Set("A", "k", "9"));
    EXPECT_TRUE(Set("A", "j", "4"));
    EXPECT_EQ(ReadBytes("t.ini"), "[A]\nk=9\nk=2\nj=4\n[A]\nk=3\n");
    EXPECT_EQ(Get("A", "j"), "4");
}

TEST_F(PrivateProfileTest, ValuesRoundTrip) {
    for (const QString& value : {QString("a b"), QString("Ünïcødé ✓"), QString("-2147483648"),
                                 QString(""), QString("x=y"), QString("; not a comment")}) {
        EXPECT_TRUE(Set("S", "k", value));
        EXPECT_EQ(Get("S", "k"), value);
    }
    EXPECT_EQ(ReadBytes("t.ini"), "[S]\nk=; not a comment\n");
}

TEST_F(PrivateProfileTest, Utf16FilesKeepTheirEncoding) {
    for (bool littleEndian : {true, false}) {
        WriteBytes("t.ini", Utf16("[A]\r\nx=1\r\n", littleEndian));
        EXPECT_TRUE(Set("A", "x", "Ü"));
        EXPECT_TRUE(Set("B", "k", "2"));
        EXPECT_EQ(ReadBytes("t.ini"), Utf16("[A]\r\nx=Ü\r\n\r\n[B]\r\nk=2\r\n", littleEndian))
            << littleEndian;
    }
}

TEST_F(PrivateProfileTest, FilesWeCannotEditSafelyAreLeftAlone) {
    const QByteArray oddUtf16 = Utf16("[A]\r\nx=1\r\n", true) + "\x41";
    const QByteArray utf32("\xFF\xFE\0\0[\0\0\0", 8);
    for (const QByteArray& before : {oddUtf16, utf32}) {
        WriteBytes("t.ini", before);
        EXPECT_FALSE(Set("A", "x", "2"));
        EXPECT_EQ(ReadBytes("t.ini"), before);
    }
    WriteBytes("t.ini", oddUtf16);
    EXPECT_EQ(Get("A", "x"), "1");
}

TEST_F(PrivateProfileTest, NamesAndValuesThatWouldBreakTheLayoutAreRefused) {
    const QByteArray before = "[A]\nk=1\n";
    WriteBytes("t.ini", before);
    EXPECT_FALSE(Set("A", "k", "1\n[B]"));
    EXPECT_FALSE(Set("A", "k", "1\r"));
    EXPECT_FALSE(Set("A", "k", QString("a") + QChar(u'\0')));
    EXPECT_FALSE(Set("A", "k=j", "1"));
    EXPECT_FALSE(Set("A", " ", "1"));
    EXPECT_FALSE(Set("A", ";k", "1"));
    EXPECT_FALSE(Set("A", "#k", "1"));
    EXPECT_FALSE(Set("A", "[k", "1"));
    EXPECT_FALSE(Set("A]", "k", "1"));
    EXPECT_FALSE(Set("", "k", "1"));
    EXPECT_FALSE(Set("A\nB", "k", "1"));
    const QString a = "A", k = "k";
    EXPECT_FALSE(WritePrivateProfileString(&a, &k, nullptr, Path("t.ini")));
    EXPECT_FALSE(WritePrivateProfileString(&a, nullptr, nullptr, Path("t.ini")));
    EXPECT_FALSE(WritePrivateProfileString(nullptr, &k, &a, Path("t.ini")));
    EXPECT_EQ(ReadBytes("t.ini"), before);
}

TEST_F(PrivateProfileTest, ReplacingKeepsTheFilesPermissions) {
    WriteBytes("t.ini", "[A]\nk=1\n");
    ASSERT_TRUE(QFile::setPermissions(Path("t.ini"),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    EXPECT_TRUE(Set("A", "k", "2"));
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(Path("t.ini")).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    EXPECT_EQ(Entries(), QStringList{"t.ini"});
}

TEST_F(PrivateProfileTest, AFileMarkedReadOnlyForEveryoneIsNotReplaced) {
    const QByteArray before = "[A]\nk=1\n";
    WriteBytes("t.ini", before);
    ASSERT_TRUE(QFile::setPermissions(Path("t.ini"),
                                      QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    EXPECT_FALSE(Set("A", "k", "2"));
    EXPECT_FALSE(Set("A", "k", "1"));
    EXPECT_EQ(ReadBytes("t.ini"), before);
    EXPECT_EQ(Get("A", "k"), "1");
}

TEST_F(PrivateProfileTest, AMissingDirectoryFailsAndCreatesNothing) {
    EXPECT_FALSE(Set("A", "k", "1", "absent/t.ini"));
    EXPECT_TRUE(Entries().isEmpty());
}

TEST_F(PrivateProfileTest, AVanishedWorkingDirectoryFailsTheWrite) {
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir(FDir.path()).mkdir("gone"));
    ASSERT_TRUE(QDir::setCurrent(Path("gone")));
    ASSERT_TRUE(QDir(FDir.path()).rmdir("gone"));

    const QString section = "A", key = "k", value = "1";
    const QString name = "./vanished-working-directory.ini";
    EXPECT_FALSE(WritePrivateProfileString(&section, &key, &value, name));
    EXPECT_EQ(GetPrivateProfileString(section, key, "<def>", 2048, name), "<def>");
    WritePrivateProfileString(nullptr, nullptr, nullptr, name);

    ASSERT_TRUE(QDir::setCurrent(previous));
    EXPECT_FALSE(QFileInfo::exists("/vanished-working-directory.ini"));
    EXPECT_TRUE(Entries().isEmpty());
}

class PrivateProfileUnprivilegedTest : public PrivateProfileTest {
protected:
    void SetUp() override {
        PrivateProfileTest::SetUp();
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root to hand files to an unprivileged user";
        // Let the unprivileged user reach the directory.
        ASSERT_EQ(::chmod(QFile::encodeName(FDir.path()).constData(), 0755), 0);
    }

    void Chown(const QString& name, uid_t user, gid_t group) const {
        ASSERT_EQ(::chown(QFile::encodeName(Path(name)).constData(), user, group), 0);
    }

    void Chmod(const QString& name, mode_t mode) const {
        ASSERT_EQ(
            ::chmod(QFile::encodeName(name.isEmpty() ? FDir.path() : Path(name)).constData(), mode),
            0);
    }
};

TEST_F(PrivateProfileUnprivilegedTest, AFileTheUserCannotWriteIsNotReplacedFromAWritableDirectory) {
    // The directory lets the user rename over the file, so only the file's own
    // permission stops the write.
    Chmod("", 0777);
    const QByteArray before = "[ADV]\n1=5\n";
    WriteBytes("t.ini", before);
    Chmod("t.ini", 0644);
    EXPECT_EQ(WriteAsNobody(Path("t.ini")), 0);
    EXPECT_EQ(ReadBytes("t.ini"), before);
}

TEST_F(PrivateProfileUnprivilegedTest, AnUnwritableDirectoryFailsTheWrite) {
    EXPECT_EQ(WriteAsNobody(Path("t.ini")), 0);
    EXPECT_TRUE(Entries().isEmpty());

    // A writable file does not help: the new file cannot be made beside it.
    const QByteArray before = "[ADV]\n1=5\n";
    WriteBytes("t.ini", before);
    Chmod("t.ini", 0666);
    EXPECT_EQ(WriteAsNobody(Path("t.ini")), 0);
    EXPECT_EQ(ReadBytes("t.ini"), before);
    EXPECT_EQ(Entries(), QStringList{"t.ini"});
}

TEST_F(PrivateProfileUnprivilegedTest, AnUnreadableFileReadsAsDefault) {
    WriteBytes("t.ini", "[ADV]\n1=5\n");
    Chmod("t.ini", 0600);
    const int read = InChild(BecomeNobody, [&] {
        return GetPrivateProfileString("ADV", "1", "<def>", 2048, Path("t.ini")) == "<def>";
    });
    EXPECT_EQ(read, 1);
}

TEST_F(PrivateProfileUnprivilegedTest, TheUsersOwnFileIsReplacedWithItsOwnerAndPermissions) {
    Chmod("", 0777);
    WriteBytes("t.ini", "[ADV]\n1=5\n");
    Chown("t.ini", Nobody, NoGroup);
    Chmod("t.ini", 0640);
    EXPECT_EQ(WriteAsNobody(Path("t.ini")), 1);
    EXPECT_EQ(ReadBytes("t.ini"), "[ADV]\n1=10\n");
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(Path("t.ini")).constData(), &status), 0);
    EXPECT_EQ(status.st_uid, Nobody);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
}

TEST_F(PrivateProfileTest, RootKeepsTheOwnerOfAFileItReplaces) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root may give a file away";
    WriteBytes("t.ini", "[ADV]\n1=5\n");
    ASSERT_EQ(::chown(QFile::encodeName(Path("t.ini")).constData(), Nobody, NoGroup), 0);
    EXPECT_TRUE(Set("ADV", "1", "6"));
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(Path("t.ini")).constData(), &status), 0);
    EXPECT_EQ(status.st_uid, Nobody);
    EXPECT_EQ(status.st_gid, NoGroup);
}

TEST_F(PrivateProfileTest, AFullDiskLeavesTheOldFileWhole) {
    QByteArray before = "[A]\n";
    for (int i = 0; i < 400; ++i)
        before += "key" + QByteArray::number(i) + "=value\n";
    WriteBytes("t.ini", before);
    ASSERT_GT(before.size(), 4096);

    const auto smallDisk = [] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            ::_exit(99);
    };
    const int written = InChild(smallDisk, [&] { return Set("A", "key1", "changed"); });
    EXPECT_EQ(written, 0);
    EXPECT_EQ(ReadBytes("t.ini"), before);
    EXPECT_EQ(Entries(), QStringList{"t.ini"});
}

TEST_F(PrivateProfileTest, FlushRequestLeavesTheFileAsItIs) {
    const QByteArray before = "[A]\nk=1\n";
    WriteBytes("t.ini", before);
    EXPECT_TRUE(WritePrivateProfileString(nullptr, nullptr, nullptr, Path("t.ini")));
    EXPECT_EQ(ReadBytes("t.ini"), before);
    EXPECT_TRUE(WritePrivateProfileString(nullptr, nullptr, nullptr, Path("missing.ini")));
    EXPECT_FALSE(QFileInfo::exists(Path("missing.ini")));
    EXPECT_FALSE(WritePrivateProfileString(nullptr, nullptr, nullptr, Path("absent/t.ini")));
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
