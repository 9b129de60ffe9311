#include "ProfileFixture.h"

#include <random>

namespace {

using namespace profiletest;

using PrivateProfileTest = ProfileFixture;

// A string literal's bytes, NULs included.
template <std::size_t N> QByteArray Bytes(const char (&text)[N]) {
    return QByteArray(text, N - 1);
}

QByteArray Utf16(const QString& text, bool littleEndian) {
    return QStringEncoder(littleEndian ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
                          QStringConverter::Flag::WriteBom)(text);
}

TEST_F(PrivateProfileTest, ReadsNamesAndValuesTheWayTheyAreWritten) {
    Write("\xEF\xBB\xBF  [ Adv Curve ]  \r\n \t Key One\t=  42\r\n"
          ";k=1\n  # k=2\n; [B]\nk\nonly\nk=3\nKEY ONE=43\n"
          "[b]\nk=5\n[ADV CURVE]\nlate=1\n[Écart]\nÀ=1\n"
          "[V]\nplain =  x y \t\ndouble=\"x y\"\nsingle= 'q' \ninner=\" kept \"\nmixed=\"open'\n"
          "lone=\"\nempty=\"\"\nnested=\"'both'\"\nequals=a=b\nblank=\nlast=1");
    // The bare "k" hides the "k=3" after it.
    const struct {
        const char *section, *key, *value;
    } names[] = {{"adv curve", "KEY ONE", "42"},  {" ADV CURVE\t", " key one ", "42"},
                 {"advcurve", "keyone", "<def>"}, {"Adv Curve", "k", "<def>"},
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

// Files as other programs and other systems leave them: each row reads the way the platform's
// own functions read it.
TEST_F(PrivateProfileTest, OddLineEndsBlanksNulBytesAndHeadersReadAsTheyDoOnWindows) {
    const QByteArray unnamed = "1=10\n[ADV]\n1=20\n";
    const struct {
        const char* what;
        QByteArray file;
        const char *section, *key, *value;
    } rows[] = {{"CRLF converted twice", "[ADV]\r\r\n1=10\r\r\n2=20\r\r\n", "ADV", "1", "10"},
                {"lone CR in an LF file", "[ADV]\n1=10\r2=20\n", "ADV", "1", "10"},
                {"after a lone CR", "[ADV]\n1=10\r2=20\n", "ADV", "2", "20"},
                {"CR-only line ends", "[ADV]\r1=10\r2=20\r", "ADV", "2", "20"},
                {"CR at the very end", "[ADV]\r\n1=10\r", "ADV", "1", "10"},
                {"NUL ends a value", Bytes("[ADV]\n1=1\0000\n"), "ADV", "1", "1"},
                {"blanks before a NUL", Bytes("[ADV]\n1= 1 \0 0\n"), "ADV", "1", "1 "},
                {"quotes before a NUL", Bytes("[ADV]\n1=\"10\"\0x\n"), "ADV", "1", "10"},
                {"vertical tab and form feed", "[\v ADV\f]\n\f1\v=\v10\f\n", "ADV", "1", "10"},
                {"... in the names asked for", "[ADV]\n1=10\n", "\vADV\f", "\f1\v", "10"},
                {"bare name hides a later key", "[ADV]\n1\n1=10\n", "ADV", "1", "<def>"},
                {"bare name with blanks", "[ADV]\n\t1 \f\n1=10\n", "ADV", "1", "<def>"},
                {"bare name, other key", "[ADV]\n1\n2=20\n", "ADV", "2", "20"},
                {"header without bracket", "[ADV\n1=10\n", "ADV", "1", "<def>"},
                {"... with a blank", "[ADV \n1=10\n", "ADV", "1", "<def>"},
                {"... continues the section", "[ADV]\n1=5\n[RPM\n2=7\n", "ADV", "2", "7"},
                {"double bracket", "[ADV]]\n1=10\n", "ADV", "1", "<def>"},
                {"... names the section", "[ADV]]\n1=10\n", "ADV]", "1", "10"},
                {"text after the bracket", "[ADV] ; x\n1=10\n", "ADV", "1", "10"},
                {"unnamed section", unnamed, "", "1", "10"},
                {"... asked with a blank", unnamed, " ", "1", "10"},
                {"... next to a named one", unnamed, "ADV", "1", "20"},
                {"empty brackets come later", "[]\n1=10\n", "", "1", "<def>"}};
    for (const auto& row : rows) {
        Write(row.file);
        EXPECT_EQ(Get(row.section, row.key), row.value) << row.what;
    }
}

// A write puts the key where the platform's functions will read it, in the file's own line ends.
TEST_F(PrivateProfileTest, WritesToOddFilesLandWhereWindowsReadsThem) {
    const struct {
        const char* what;
        QByteArray before;
        const char *section, *key, *value;
        QByteArray after;
    } rows[] = {
        {"CR-only, new key", "[ADV]\r1=10\r", "ADV", "2", "20", "[ADV]\r1=10\r2=20\r"},
        {"CR-only, no last CR", "[ADV]\r1=10", "ADV", "2", "20", "[ADV]\r1=10\r2=20"},
        {"CR-only, new section", "[ADV]\r1=10\r", "RPM", "1", "1000",
         "[ADV]\r1=10\r\r[RPM]\r1=1000\r"},
        {"CRLF converted twice", "[ADV]\r\r\n1=10\r\r\n", "ADV", "1", "11",
         "[ADV]\r\r\n1=11\r\r\n"},
        {"... new key", "[ADV]\r\r\n1=10\r\r\n", "ADV", "2", "20",
         "[ADV]\r\r\n1=10\r\r\n2=20\r\r\n"},
        {"lone CR in an LF file", "[ADV]\n1=10\r2=20\n", "ADV", "2", "21", "[ADV]\n1=10\r2=21\n"},
        {"NUL in the old value", Bytes("[ADV]\n1=1\0 0\n"), "ADV", "1", "5", "[ADV]\n1=5\n"},
        {"vertical tab and form feed", "[\vADV\f]\n\f1\v=\v10\f\n", "ADV", "1", "11",
         "[\vADV\f]\n\f1\v=\v11\n"},
        {"bare name", "[ADV]\n1\n2=20\n", "ADV", "1", "5", "[ADV]\n1=5\n2=20\n"},
        {"bare name with blanks", "[ADV]\n\t1 \f\n1=10\n", "ADV", "1", "5", "[ADV]\n\t1=5\n1=10\n"},
        {"header without bracket", "[ADV\n1=10\n", "ADV", "1", "5", "[ADV\n1=10\n\n[ADV]\n1=5\n"},
        {"double bracket", "[ADV]]\n1=10\n", "ADV", "1", "5", "[ADV]]\n1=10\n\n[ADV]\n1=5\n"}};
    for (const auto& row : rows) {
        Write(row.before);
        EXPECT_TRUE(Set(row.section, row.key, row.value)) << row.what;
        EXPECT_EQ(Read(), row.after) << row.what;
        EXPECT_EQ(Get(row.section, row.key), row.value) << row.what;
    }
}

// A stray last byte belongs to no character; it stays where it is, on a line of its own.
TEST_F(PrivateProfileTest, AUtf16FileWithAStrayLastByteIsReadAndSaved) {
    const struct {
        QString before;
        const char *section, *key, *value;
        QString after;
    } rows[] = {
        {"[ADV]\r\n1=10\r\n", "ADV", "1", "5", "[ADV]\r\n1=5\r\n"},
        {"[ADV]\r\n1=10\r\n", "RPM", "1", "1000", "[ADV]\r\n1=10\r\n\r\n[RPM]\r\n1=1000\r\n"},
        {"[ADV]\r\n1=10", "ADV", "1", "5", "[ADV]\r\n1=5\r\n"},
        {"[ADV]\r\n1=10", "ADV", "2", "20", "[ADV]\r\n1=10\r\n2=20\r\n"}};
    for (bool littleEndian : {true, false})
        for (const auto& row : rows) {
            const QString what = row.before + row.key + (littleEndian ? " LE" : " BE");
            Write(Utf16(row.before, littleEndian) + "A");
            EXPECT_EQ(Get("ADV", "1"), "10") << what.toStdString();
            EXPECT_TRUE(Set(row.section, row.key, row.value)) << what.toStdString();
            EXPECT_EQ(Read(), Utf16(row.after, littleEndian) + "A") << what.toStdString();
        }
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
    EXPECT_EQ(Get("A", "nul"), "a");
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

    // A UTF-32 file and a file without any write bit.
    const std::pair<QByteArray, mode_t> files[] = {{QByteArray("\xFF\xFE\0\0[\0\0\0", 8), 0644},
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

} // namespace
