#include "editor/IniFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <limits>

namespace {

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FDir.isValid());
        FPrevious = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(FDir.path()));
    }
    void TearDown() override { QDir::setCurrent(FPrevious); }

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

    QTemporaryDir FDir;
    QString FPrevious;
};

TEST_F(IniFileTest, CreatingAndDestroyingTheAccessorTouchesNoFile) {
    { TIniFile ini("./quendrix_timing.ini"); }
    EXPECT_TRUE(QDir(FDir.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

TEST_F(IniFileTest, AFailedWriteRaisesWithTheFileNameAsGiven) {
    ASSERT_TRUE(QDir(FDir.path()).mkdir("quendrix_timing.ini"));
    TIniFile ini("./quendrix_timing.ini");
    try {
        ini.WriteString("ADV", "1", "10");
        FAIL() << "no exception";
    } catch (const EIniFileException& error) {
        EXPECT_EQ(error.Message(),
                  QString::fromUtf8("Impossible d'écrire dans ./quendrix_timing.ini"));
        EXPECT_STREQ(error.what(), "Impossible d'écrire dans ./quendrix_timing.ini");
    }
    EXPECT_THROW(ini.WriteInteger("RPM", "1", 1000), EIniFileException);
}

TEST_F(IniFileTest, WriteIntegerWritesPlainDecimalText) {
    {
        TIniFile ini("./quendrix_timing.ini");
        ini.WriteInteger("ADV", "1", 10);
        ini.WriteInteger("ADV", "2", -5);
        ini.WriteInteger("ADV", "3", 0);
        ini.WriteInteger("RPM", "1", std::numeric_limits<std::int32_t>::min());
    }
    EXPECT_EQ(ReadFile(), "[ADV]\n1=10\n2=-5\n3=0\n\n[RPM]\n1=-2147483648\n");
}

TEST_F(IniFileTest, ReadIntegerTakesDecimalAndHexadecimalForms) {
    WriteFile("[RPM]\n"
              "lower='0x1F4'\n"
              "upper=0X1f4\n"
              "dollar=$1F4\n"
              "x=x1F4\n"
              "negative=-500\n"
              "blanks=  42  \n"
              "quoted=\"17\"\n"
              "max=2147483647\n"
              "pattern=0xFFFFFFFF\n");
    TIniFile ini("./quendrix_timing.ini");
    EXPECT_EQ(ini.ReadInteger("RPM", "lower", -1), 500);
    EXPECT_EQ(ini.ReadInteger("RPM", "upper", -1), 500);
    EXPECT_EQ(ini.ReadInteger("RPM", "dollar", -1), 500);
    EXPECT_EQ(ini.ReadInteger("RPM", "x", -1), 500);
    EXPECT_EQ(ini.ReadInteger("RPM", "negative", -1), -500);
    EXPECT_EQ(ini.ReadInteger("RPM", "blanks", -1), 42);
    EXPECT_EQ(ini.ReadInteger("RPM", "quoted", -1), 17);
    EXPECT_EQ(ini.ReadInteger("RPM", "max", -1), 2147483647);
    EXPECT_EQ(ini.ReadInteger("RPM", "pattern", 7), -1);
}

TEST_F(IniFileTest, ReadIntegerFallsBackToTheDefault) {
    TIniFile ini("./quendrix_timing.ini");
    EXPECT_EQ(ini.ReadInteger("RPM", "1", 1234), 1234);
    WriteFile("[RPM]\n"
              "empty=\n"
              "word=abc\n"
              "prefix=0x\n"
              "signAfterPrefix=0x-5\n"
              "tooBig=2147483648\n"
              "tooLong=0x100000000\n"
              "trailing=12abc\n"
              "decimalPoint=1.5\n");
    for (const char* key : {"missing", "empty", "word", "prefix", "signAfterPrefix", "tooBig",
                            "tooLong", "trailing", "decimalPoint"})
        EXPECT_EQ(ini.ReadInteger("RPM", key, 1234), 1234) << key;
    EXPECT_EQ(ini.ReadInteger("ADV", "word", 7), 7);
}

TEST_F(IniFileTest, ReadStringReturnsAtMost2047Characters) {
    WriteFile("[ADV]\nlong=" + QByteArray(5000, 'a') + "\nfit=" + QByteArray(2047, 'b') + "\n");
    TIniFile ini("./quendrix_timing.ini");
    EXPECT_EQ(ini.ReadString("ADV", "long", ""), QString(2047, u'a'));
    EXPECT_EQ(ini.ReadString("ADV", "fit", ""), QString(2047, u'b'));
    EXPECT_EQ(ini.ReadString("ADV", "missing", "dflt"), "dflt");
    // A long digit string is cut before it is converted.
    WriteFile("[ADV]\n1=" + QByteArray(2046, '0') + "12\n");
    EXPECT_EQ(ini.ReadInteger("ADV", "1", -1), 1);
}

TEST_F(IniFileTest, DestroyingTheAccessorInAVanishedDirectoryDoesNotThrow) {
    ASSERT_TRUE(QDir(FDir.path()).mkdir("gone"));
    ASSERT_TRUE(QDir::setCurrent(FDir.filePath("gone")));
    ASSERT_TRUE(QDir(FDir.path()).rmdir("gone"));
    {
        TIniFile ini("./quendrix_timing.ini");
        EXPECT_EQ(ini.ReadInteger("ADV", "1", 3), 3);
        EXPECT_THROW(ini.WriteInteger("ADV", "1", 10), EIniFileException);
    }
    SUCCEED();
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
