#include "platform/PrivateProfile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
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

    QString Path(const QString& name = "t.ini") const { return FDir.filePath(name); }
    QByteArray Native(const QString& name = "t.ini") const { return QFile::encodeName(Path(name)); }
    void Write(const QByteArray& bytes) const {
        QFile file(Path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    QByteArray Read() const {
        QFile file(Path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : "<missing>";
    }
    bool Set(const QString& section, const QString& key, const QString& value,
             const QString& name = "t.ini") const {
        return WritePrivateProfileString(&section, &key, &value, Path(name));
    }
    QString Get(const QString& section, const QString& key, const QString& name = "t.ini",
                int size = 2048) const {
        return GetPrivateProfileString(section, key, "<def>", size, Path(name));
    }
    void Chmod(const QString& name, mode_t mode) const {
        const QByteArray path = name.isEmpty() ? QFile::encodeName(FDir.path()) : Native(name);
        ASSERT_EQ(::chmod(path.constData(), mode), 0);
    }
    QStringList Entries() const {
        return QDir(FDir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    }

    // 1 when an unprivileged user's write succeeded, 0 when it failed.
    int WriteAsNobody() const;

    QTemporaryDir FDir;
};

QByteArray Utf16(const QString& text, bool littleEndian) {
    return QStringEncoder(littleEndian ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
                          QStringConverter::Flag::WriteBom)(text);
}

// Runs setup and then work in a child process; the child's exit code is 1 when work returned
// true, 0 when it returned false, -1 when the child did not exit normally.
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

int PrivateProfileTest::WriteAsNobody() const {
    return InChild(BecomeNobody, [&] { return Set("ADV", "1", "10"); });
}

TEST_F(PrivateProfileTest, ReadsNamesAndValuesTheWayTheyAreWritten) {
    Write("\xEF\xBB\xBF  [ Adv Curve ]  \r\n \t Key One\t=  42\r\n"
          ";k=1\n  # k=2\n; [B]\nk\nonly\nk=3\nKEY ONE=43\n"
          "[b]\nk=5\n[ADV CURVE]\nlate=1\n[Écart]\nÀ=1\n"
          "[V]\nplain =  x y \t\ndouble=\"x y\"\nsingle= 'q' \ninner=\" kept \"\nmixed=\"open'\n"
          "lone=\"\nempty=\"\"\nnested=\"'both'\"\nequals=a=b\nblank=\nlast=1");
    const struct {
        const char *section, *key, *value;
    } names[] = {{"adv curve", "KEY ONE", "42"},  {" ADV CURVE\t", " key one ", "42"},
                 {"advcurve", "keyone", "<def>"}, {"Adv Curve", "k", "3"},
                 {"Adv Curve", "only", "<def>"},  {"B", "k", "5"},
                 {"Adv Curve", "late", "<def>"},  {"RPM", "k", "<def>"},
                 {"Adv Curve", "# k", "<def>"}};
    for (const auto& row : names)
        EXPECT_EQ(Get(row.section, row.key), row.value) << row.section << "/" << row.key;
    EXPECT_EQ(Get("écart", "à"), "1");
    const std::pair<const char*, const char*> values[] = {
        {"plain", "x y"}, {"double", "x y"},    {"single", "q"}, {"inner", " kept "},
        {"lone", "\""},   {"mixed", "\"open'"}, {"empty", ""},   {"nested", "'both'"},
        {"blank", ""},    {"equals", "a=b"},    {"last", "1"}};
    for (const auto& [key, value] : values)
        EXPECT_EQ(Get("V", key), value) << key;
    EXPECT_EQ(Get("ADV", "1", "absent/t.ini"), "<def>");
    EXPECT_EQ(Get("ADV", "1", "missing.ini"), "<def>");
}

TEST_F(PrivateProfileTest, Utf16FilesWithByteOrderMarkReadAndKeepTheirEncoding) {
    for (bool littleEndian : {true, false}) {
        Write(Utf16("[ADV]\r\n1=10\r\n2=Über ✓\r\n", littleEndian));
        EXPECT_EQ(Get("ADV", "2"), "Über ✓") << littleEndian;
        EXPECT_TRUE(Set("ADV", "1", "✓"));
        EXPECT_TRUE(Set("RPM", "1", "1000"));
        EXPECT_EQ(Read(),
                  Utf16("[ADV]\r\n1=✓\r\n2=Über ✓\r\n\r\n[RPM]\r\n1=1000\r\n", littleEndian))
            << littleEndian;
    }
}

TEST_F(PrivateProfileTest, ReadTextIsCutToOneLessThanTheBuffer) {
    Write("[A]\nk=" + QByteArray(3000, 'v') + "\n");
    const std::pair<int, QString> rows[] = {
        {2048, QString(2047, u'v')}, {4, "vvv"}, {1, ""}, {0, ""}};
    for (const auto& [size, expected] : rows)
        EXPECT_EQ(Get("A", "k", "t.ini", size), expected) << size;
    EXPECT_EQ(Get("A", "missing", "t.ini", 4), "<de");
}

TEST_F(PrivateProfileTest, SettingAKeyChangesOnlyItsLineOrAddsOneWhereItBelongs) {
    const struct {
        QByteArray before;
        const char *section, *key, *value;
        QByteArray after;
    } rows[] = {{"[A]\nx=1\nk = 5\ny=2\n", "A", "k", "7", "[A]\nx=1\nk = 7\ny=2\n"},
                {"[A]\nk=\"old value\"  \n", "A", "k", "new", "[A]\nk=new\n"},
                {"[adv]\n  KEY\t=1\n", " ADV", "key ", "2", "[adv]\n  KEY\t=2\n"},
                {"[A]\nk=1", "A", "k", "22", "[A]\nk=22"},
                {"[A]\nk=1\nk=2\n[a]\nk=3\n", "A", "k", "9", "[A]\nk=9\nk=2\n[a]\nk=3\n"},
                {"[A]\nx=1\n; note\ny=2\n\n; B\n[B]\n", "A", "k", "9",
                 "[A]\nx=1\n; note\ny=2\nk=9\n\n; B\n[B]\n"},
                {"[A]\n\n[a]\n", "A", "k", "1", "[A]\nk=1\n\n[a]\n"},
                {"[A]\nx=1", "A", "k", "2", "[A]\nx=1\nk=2"},
                {"[A]", "A", "k", "2", "[A]\nk=2"},
                {"; top\n[A]\nx=1", "B", "k", "1", "; top\n[A]\nx=1\n\n[B]\nk=1\n"},
                {"[A]\nx=1\n\n", "B", "k", "1", "[A]\nx=1\n\n[B]\nk=1\n"},
                {"", "B", "k", "Ü ✓ x=y", "[B]\nk=\xC3\x9C \xE2\x9C\x93 x=y\n"},
                {"\xEF\xBB\xBF", "B", "k", "1", "\xEF\xBB\xBF[B]\nk=1\n"}};
    for (const auto& row : rows) {
        Write(row.before);
        EXPECT_TRUE(Set(row.section, row.key, row.value)) << row.before.constData();
        EXPECT_EQ(Read(), row.after) << row.before.constData();
    }
}

TEST_F(PrivateProfileTest, ForeignContentIsKeptByteForByte) {
    const QByteArray before = "\xEF\xBB\xBF; by hand\r\n\r\n[Other]  ; words\nname = \"Q\"\t\n"
                              "\xFF\xFE junk \x01\n[ADV]\r\n# keep\r\n1=10\r\n2=10\r\n\r\n"
                              "[Tail]\nz=26   ";
    Write(before);
    EXPECT_TRUE(Set("ADV", "2", "14"));
    EXPECT_TRUE(Set("ADV", "3", "8"));
    EXPECT_TRUE(Set("RPM", "1", "1000"));
    QByteArray after = before;
    after.replace("2=10\r\n", "2=14\r\n3=8\r\n").append("\r\n\r\n[RPM]\r\n1=1000\r\n");
    EXPECT_EQ(Read(), after);
}

TEST_F(PrivateProfileTest, BinaryGarbageNulBytesAndOneMegabyteLinesAreHarmless) {
    std::mt19937 random(1234);
    QByteArray garbage = "x";
    for (int i = 0; i < 64 * 1024; ++i)
        garbage.append(static_cast<char>(random() & 0xFF));
    const QByteArray head = garbage + "\n[A]\n" + QByteArray(1 << 20, 'x') +
                            "\nlong=" + QByteArray(1 << 20, 'y') + "\nk=";
    QByteArray tail = "1\nnul=a";
    tail.append('\0').append("b\nafter=2\n").append(garbage);
    Write(head + tail);
    EXPECT_EQ(Get("A", "nul").size(), 3);
    EXPECT_EQ(Get("A", "after"), "2");
    EXPECT_TRUE(Set("A", "k", "9"));
    EXPECT_EQ(Read(), head + "9" + tail.mid(1));
}

TEST_F(PrivateProfileTest, FilesAboveTheSizeLimitAreNeitherParsedNorReplaced) {
    Write("[A]\nk=1\n");
    ASSERT_TRUE(QFile(Path()).resize(100 * 1024 * 1024));
    EXPECT_EQ(Get("A", "k"), "<def>");
    EXPECT_FALSE(Set("A", "k", "2"));
    QFile file(Path());
    EXPECT_EQ(file.size(), 100 * 1024 * 1024);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(8), "[A]\nk=1\n");
}

TEST_F(PrivateProfileTest, WritesThatWouldDamageTheFileAreRefused) {
    const QByteArray plain = "[A]\nk=1\n";
    Write(plain);
    const QString a = "A", k = "k";
    EXPECT_FALSE(WritePrivateProfileString(&a, &k, nullptr, Path()));
    EXPECT_FALSE(WritePrivateProfileString(&a, nullptr, nullptr, Path()));
    EXPECT_FALSE(WritePrivateProfileString(nullptr, &k, &a, Path()));
    const struct {
        QString section, key, value;
    } names[] = {{"A", "k", "1\n[B]"}, {"A", "k", "1\r"}, {"A", "k", QString("a") + QChar(u'\0')},
                 {"A", "k=j", "1"},    {"A", " ", "1"},   {"A", ";k", "1"},
                 {"A", "#k", "1"},     {"A", "[k", "1"},  {"A]", "k", "1"},
                 {"", "k", "1"},       {"A\nB", "k", "1"}};
    for (const auto& row : names)
        EXPECT_FALSE(Set(row.section, row.key, row.value))
            << row.section.toStdString() << "/" << row.key.toStdString();
    EXPECT_EQ(Read(), plain);

    // An odd-length UTF-16 file, a UTF-32 file and a file without any write bit.
    const std::pair<QByteArray, mode_t> files[] = {{Utf16("[A]\r\nx=1\r\n", true) + "\x41", 0644},
                                                   {QByteArray("\xFF\xFE\0\0[\0\0\0", 8), 0644},
                                                   {plain, 0444}};
    for (const auto& [before, mode] : files) {
        Write(before);
        ASSERT_EQ(::chmod(Native().constData(), mode), 0);
        EXPECT_FALSE(Set("A", "x", "2")) << before.toHex().constData();
        EXPECT_EQ(Read(), before);
    }
}

TEST_F(PrivateProfileTest, PlacesThatAreNotRegularFilesReadAsDefaultAndRefuseWrites) {
    ASSERT_TRUE(QDir(FDir.path()).mkdir("dir.ini"));
    // Opening a FIFO for reading would wait for a writer forever.
    ASSERT_EQ(::mkfifo(Native("fifo.ini").constData(), 0644), 0);
    for (const char* name : {"dir.ini", "fifo.ini", "absent/t.ini"}) {
        EXPECT_EQ(Get("A", "k", name), "<def>") << name;
        EXPECT_FALSE(Set("A", "k", "1", name)) << name;
    }
    EXPECT_TRUE(WritePrivateProfileString(nullptr, nullptr, nullptr, Path("fifo.ini")));
    EXPECT_EQ(Entries(), (QStringList{"dir.ini", "fifo.ini"}));
}

TEST_F(PrivateProfileTest, AFullDiskLeavesTheOldFileWhole) {
    QByteArray before = "[A]\n";
    for (int i = 0; i < 400; ++i)
        before += "key" + QByteArray::number(i) + "=value\n";
    ASSERT_GT(before.size(), 4096);
    Write(before);
    const auto smallDisk = [] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            ::_exit(99);
    };
    EXPECT_EQ(InChild(smallDisk, [&] { return Set("A", "key1", "changed"); }), 0);
    EXPECT_EQ(Read(), before);
    EXPECT_EQ(Entries(), QStringList{"t.ini"});
}

TEST_F(PrivateProfileTest, TheFilesOrTheDirectorysPermissionsStopAnUnprivilegedUser) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to hand files to another user";
    const QByteArray before = "[ADV]\n1=5\n";
    Write(before);
    Chmod("", 0755);
    Chmod("t.ini", 0600);
    EXPECT_EQ(InChild(BecomeNobody, [&] { return Get("ADV", "1") == "<def>"; }), 1);

    Chmod("", 0777); // Only the file's own permission stops the write.
    Chmod("t.ini", 0644);
    EXPECT_EQ(WriteAsNobody(), 0);
    EXPECT_EQ(Read(), before);

    Chmod("", 0755); // A writable file does not help when no file can be made beside it.
    Chmod("t.ini", 0666);
    EXPECT_EQ(WriteAsNobody(), 0);
    EXPECT_EQ(Read(), before);
    EXPECT_EQ(Entries(), QStringList{"t.ini"});

    ASSERT_TRUE(QFile::remove(Path()));
    EXPECT_EQ(WriteAsNobody(), 0);
    EXPECT_TRUE(Entries().isEmpty());
}

TEST_F(PrivateProfileTest, AReplacedFileKeepsItsOwnerAndPermissions) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to hand files to another user";
    Chmod("", 0777);
    Write("[ADV]\n1=5\n");
    ASSERT_EQ(::chown(Native().constData(), Nobody, NoGroup), 0);
    Chmod("t.ini", 0640);
    EXPECT_EQ(WriteAsNobody(), 1);
    EXPECT_EQ(Read(), "[ADV]\n1=10\n");
    EXPECT_TRUE(Set("ADV", "1", "6")); // by root
    struct stat status {};
    ASSERT_EQ(::stat(Native().constData(), &status), 0);
    EXPECT_EQ(status.st_uid, Nobody);
    EXPECT_EQ(status.st_gid, NoGroup);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    EXPECT_EQ(Entries(), QStringList{"t.ini"});
}

} // namespace
