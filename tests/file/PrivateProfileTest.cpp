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
// own functions read it. Ctrl-Z (\032), the end mark of DOS-era files, is a blank; a UTF-8
// byte-order mark (bom) after the file's first one is a character like any other. A byte that is
// not part of a whole UTF-8 character is, without a mark, its character in the Western ANSI code
// page; a whole character beside it stays what it is in UTF-8, as in the files we write.
TEST_F(PrivateProfileTest, OddLineEndsBlanksNulBytesAndHeadersReadAsTheyDoOnWindows) {
    const QByteArray unnamed = "1=10\n[ADV]\n1=20\n";
    const QByteArray bom = "\xEF\xBB\xBF";
    const QString mark = QChar(0xFEFF);
    const struct {
        const char* what;
        QByteArray file;
        QString section, key, value;
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
                {"empty brackets come later", "[]\n1=10\n", "", "1", "<def>"},
                {"Ctrl-Z ends the file", "[RPM]\n13=6500\032", "RPM", "13", "6500"},
                {"... and goes on", "[RPM]\n13=6500\032\n14=7\n", "RPM", "14", "7"},
                {"Ctrl-Z around names", "[ADV]\n\0321\032=\03210\032\n", "ADV", "1", "10"},
                {"Ctrl-Z before a header", "\032[\032ADV\032]\n1=10\n", "ADV", "1", "10"},
                {"... in the names asked for", "[ADV]\n1=10\n", "\032ADV", "1\032", "10"},
                {"bare name and Ctrl-Z", "[ADV]\n1\032\n1=10\n", "ADV", "1", "<def>"},
                {"... before a NUL stays", Bytes("[ADV]\n1=10\032\0x\n"), "ADV", "1", "10\032"},
                {"NUL ends a key name", Bytes("[ADV]\n1\0=10\n"), "ADV", "1", "10"},
                {"... what follows it too", Bytes("[ADV]\n1\0x=10\n1=20\n"), "ADV", "1", "10"},
                {"... a bare one", Bytes("[ADV]\n1\0x\n1=10\n"), "ADV", "1", "<def>"},
                {"... blanks before it stay", Bytes("[ADV]\n1 \0=10\n"), "ADV", "1", "<def>"},
                {"... Ctrl-Z too", Bytes("[ADV]\n1\032\0=10\n"), "ADV", "1", "<def>"},
                {"... at its start", Bytes("[ADV]\n \0001=10\n"), "ADV", "1", "<def>"},
                {"NUL ends a section name", Bytes("[ADV\0x]\n1=10\n"), "ADV", "1", "10"},
                {"... before the last bracket", Bytes("[ADV\0]x]\n1=10\n"), "ADV", "1", "10"},
                {"... blanks before it stay", Bytes("[ADV \0x]\n1=10\n"), "ADV", "1", "<def>"},
                {"... no bracket, no header", Bytes("[ADV\0\n1=10\n"), "ADV", "1", "<def>"},
                {"BOM before a key", "[ADV]\n" + bom + "1=45\n", "ADV", "1", "<def>"},
                {"... part of its name", bom + "[ADV]\n" + bom + "1=4\n", "ADV", mark + "1", "4"},
                {"... after it", bom + "[ADV]\n1 " + bom + "=45\n", "ADV", "1", "<def>"},
                {"BOM in a header", "[" + bom + "ADV]\n1=45\n", "ADV", "1", "<def>"},
                {"... part of its name", bom + "[" + bom + "ADV]\n1=4\n", mark + "ADV", "1", "4"},
                {"a second BOM hides a header", bom + bom + "[ADV]\n1=45\n", "ADV", "1", "<def>"},
                {"BOM in a value", bom + "[ADV]\n1=" + bom + "4" + bom + "\n", "ADV", "1",
                 mark + "4" + mark},
                {"ANSI byte ends a value", "[RPM]\n3=1\xE5\n", "RPM", "3", "1å"},
                {"... after two digits", "[ADV]\n1=10\xE9\n", "ADV", "1", "10é"},
                {"... with a mark, U+FFFD", bom + "[RPM]\n3=1\xE5\n", "RPM", "3", "1\uFFFD"},
                {"... ends a key name", "[ADV]\n1\xE9=10\n", "ADV", "1", "<def>"},
                {"... which is its own key", "[ADV]\n1\xE9=10\n", "ADV", "1é", "10"},
                {"... ends a section name", "[ADV\xEF]\n1=10\n", "ADV", "1", "<def>"},
                {"... which is its own section", "[ADV\xEF]\n1=10\n", "ADVï", "1", "10"},
                {"cut short, byte by byte", "[A]\nk=\xE9\x80-\x81\n", "A", "k", "é€-\u0081"},
                {"... beside a whole character", "[A]\nk=\xC3\xA9\xC3\n", "A", "k", "éÃ"},
                {"with a mark, per broken piece", bom + "[A]\nk=\xC0\x80\xED\xA0\x80\xF0\x9F\n",
                 "A", "k", QString(5, QChar(0xFFFD))},
                {"... whole or not", bom + "[A]\nk=\xF0\x9F\x98\x80\xF4\x90\x80\x80\n", "A", "k",
                 "\U0001F600\uFFFD\uFFFD\uFFFD"}};
    for (const auto& row : rows) {
        Write(row.file);
        EXPECT_EQ(Get(row.section, row.key), row.value) << row.what;
    }
}

// A write puts the key where the platform's functions will read it, in the file's own line ends.
TEST_F(PrivateProfileTest, WritesToOddFilesLandWhereWindowsReadsThem) {
    const QByteArray bom = "\xEF\xBB\xBF";
    const QString mark = QChar(0xFEFF);
    const struct {
        const char* what;
        QByteArray before;
        QString section, key, value;
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
        {"double bracket", "[ADV]]\n1=10\n", "ADV", "1", "5", "[ADV]]\n1=10\n\n[ADV]\n1=5\n"},
        {"Ctrl-Z after a name", "[ADV]\n1\032=10\n", "ADV", "1", "12", "[ADV]\n1\032=12\n"},
        {"Ctrl-Z before a header", "\032[ADV]\n1=10\n", "ADV", "2", "20",
         "\032[ADV]\n1=10\n2=20\n"},
        {"bare name and Ctrl-Z", "[ADV]\n1\032\n1=10\n", "ADV", "1", "5", "[ADV]\n1=5\n1=10\n"},
        {"NUL after a name", Bytes("[ADV]\n1\0x=10\n"), "ADV", "1", "12",
         Bytes("[ADV]\n1\0x=12\n")},
        {"... after a blank", Bytes("[ADV]\n1 \0=10\n"), "ADV", "1", "12",
         Bytes("[ADV]\n1 \0=10\n1=12\n")},
        {"NUL in a header", Bytes("[ADV\0x]\n1=10\n"), "ADV", "2", "20",
         Bytes("[ADV\0x]\n1=10\n2=20\n")},
        {"BOM before a key", bom + "[ADV]\n" + bom + "1=45\n", "ADV", "1", "12",
         bom + "[ADV]\n" + bom + "1=45\n1=12\n"},
        {"BOM in a header", "[" + bom + "ADV]\n1=45\n", "ADV", "1", "12",
         "[" + bom + "ADV]\n1=45\n\n[ADV]\n1=12\n"},
        {"BOM starts a value", "[ADV]\n1=10\n", "ADV", "1", mark + "12",
         "[ADV]\n1=" + bom + "12\n"},
        {"ANSI byte in a value", "[RPM]\n3=1\xE5\n", "RPM", "3", "3000", "[RPM]\n3=3000\n"},
        {"... with a mark", bom + "[RPM]\n3=1\xE5\n", "RPM", "3", "3000", bom + "[RPM]\n3=3000\n"},
        {"... in a key name", "[ADV]\n1\xE9=10\n2=1\xE5\n", "ADV", "1", "10",
         "[ADV]\n1\xE9=10\n2=1\xE5\n1=10\n"},
        {"... that key asked for", "[ADV]\n1\xE9=10\n", "ADV", "1é", "7", "[ADV]\n1\xE9=7\n"},
        {"... in a section name", "[ADV\xEF]\n1=10\n", "ADV", "1", "10",
         "[ADV\xEF]\n1=10\n\n[ADV]\n1=10\n"}};
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

// Windows takes a UTF-32 byte-order mark for UTF-16 (FF FE 00 00: little endian, first character
// NUL) or for no mark at all (00 00 FE FF: 8-bit text), and finds no key in the rest. A write
// adds its section at the end in that encoding.
TEST_F(PrivateProfileTest, Utf32FilesReadAsDefaultsAndTakeWritesAtTheirEnd) {
    const auto utf32 = [](const QString& text, bool littleEndian) -> QByteArray {
        const QByteArray mark = littleEndian ? Bytes("\xFF\xFE\0\0") : Bytes("\0\0\xFE\xFF");
        return mark + QStringEncoder(littleEndian ? QStringConverter::Utf32LE
                                                  : QStringConverter::Utf32BE)(text);
    };
    const QString curve = "[ADV]\n1=10\n2=20\n";
    const QString added = "[ADV]\n1=12\n\n[RPM]\n1=1000\n";
    const struct {
        const char* what;
        QByteArray before, after;
    } rows[] = {
        {"little endian", utf32(curve, true),
         utf32(curve, true) + Utf16("\n\n" + added, true).mid(2)},
        {"... CR LF, which reads as CR", utf32("[ADV]\r\n1=10\r\n", true),
         utf32("[ADV]\r\n1=10\r\n", true) +
             Utf16(QString("\r\r" + added).replace(u'\n', u'\r'), true).mid(2)},
        {"... mark alone", utf32("", true), utf32("", true) + Utf16("\n\n" + added, true).mid(2)},
        {"big endian", utf32(curve, false), utf32(curve, false) + "\n" + added.toUtf8()},
        {"... mark alone", utf32("", false), utf32("", false) + "\n\n" + added.toUtf8()}};
    for (const auto& row : rows) {
        Write(row.before);
        for (const char* section : {"ADV", "RPM", ""})
            for (const char* key : {"1", "2"})
                EXPECT_EQ(Get(section, key), "<def>") << row.what << " " << section << "/" << key;
        EXPECT_TRUE(Set("ADV", "1", "12")) << row.what;
        EXPECT_TRUE(Set("RPM", "1", "1000")) << row.what;
        EXPECT_EQ(Read(), row.after) << row.what;
        EXPECT_EQ(Get("ADV", "1"), "12") << row.what;
        EXPECT_EQ(Get("RPM", "1"), "1000") << row.what;
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

    // A file without any write bit.
    ASSERT_EQ(::chmod(Native().constData(), 0444), 0);
    EXPECT_FALSE(Set("A", "x", "2"));
    EXPECT_EQ(Read(), plain);
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
