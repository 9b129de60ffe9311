#include "widgets/IntegerText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>

namespace {

constexpr std::int32_t Int32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t Int32Max = std::numeric_limits<std::int32_t>::max();

std::optional<std::int32_t> Convert(const char16_t* text) {
    return StrToInt(QString::fromUtf16(text));
}

TEST(StrToInt, DecimalTextWithBlanksAndSign) {
    EXPECT_EQ(Convert(u"0"), 0);
    EXPECT_EQ(Convert(u"-0"), 0);
    EXPECT_EQ(Convert(u"+0"), 0);
    EXPECT_EQ(Convert(u"007"), 7);
    EXPECT_EQ(Convert(u"12"), 12);
    EXPECT_EQ(Convert(u" 12"), 12);
    EXPECT_EQ(Convert(u"    -12"), -12);
    EXPECT_EQ(Convert(u"+7"), 7);
    EXPECT_EQ(Convert(u"20000"), 20000);
    EXPECT_EQ(Convert(u"00000000000000000000042"), 42);
}

TEST(StrToInt, DecimalRangeIsSigned32Bit) {
    EXPECT_EQ(Convert(u"2147483647"), Int32Max);
    EXPECT_EQ(Convert(u"+2147483647"), Int32Max);
    EXPECT_EQ(Convert(u"-2147483648"), Int32Min);
    EXPECT_EQ(Convert(u"0002147483647"), Int32Max);
    EXPECT_EQ(Convert(u"2147483648"), std::nullopt);
    EXPECT_EQ(Convert(u"-2147483649"), std::nullopt);
    EXPECT_EQ(Convert(u"4294967295"), std::nullopt);
    EXPECT_EQ(Convert(u"4294967296"), std::nullopt);
    EXPECT_EQ(Convert(u"99999999999999999999999"), std::nullopt);
}

TEST(StrToInt, HexadecimalPrefixesAndDigits) {
    EXPECT_EQ(Convert(u"$1F"), 31);
    EXPECT_EQ(Convert(u"$1f"), 31);
    EXPECT_EQ(Convert(u"0x1f"), 31);
    EXPECT_EQ(Convert(u"0X1F"), 31);
    EXPECT_EQ(Convert(u"x1F"), 31);
    EXPECT_EQ(Convert(u"X1f"), 31);
    EXPECT_EQ(Convert(u"  $aBcD"), 0xABCD);
    EXPECT_EQ(Convert(u"-$10"), -16);
    EXPECT_EQ(Convert(u"+0x10"), 16);
    EXPECT_EQ(Convert(u"$0"), 0);
}

TEST(StrToInt, HexadecimalIsA32BitPattern) {
    EXPECT_EQ(Convert(u"$FFFFFFFF"), -1);
    EXPECT_EQ(Convert(u"$80000000"), Int32Min);
    EXPECT_EQ(Convert(u"$7FFFFFFF"), Int32Max);
    EXPECT_EQ(Convert(u"-$80000000"), Int32Min);
    EXPECT_EQ(Convert(u"-$FFFFFFFF"), 1);
    EXPECT_EQ(Convert(u"-$1"), -1);
    EXPECT_EQ(Convert(u"$0000000000FFFFFFFF"), -1);
    EXPECT_EQ(Convert(u"$100000000"), std::nullopt);
    EXPECT_EQ(Convert(u"0x1FFFFFFFF"), std::nullopt);
}

TEST(StrToInt, TextThatDoesNotConvert) {
    for (const char16_t* text : {u"",
                                 u" ",
                                 u"-",
                                 u"+",
                                 u"$",
                                 u"x",
                                 u"X",
                                 u"0x",
                                 u"0X",
                                 u"-$",
                                 u"+0x",
                                 u"1.5",
                                 u"1,5",
                                 u"12a",
                                 u"12 ",
                                 u"12\n",
                                 u"12\r\n",
                                 u"\t12",
                                 u"\n12",
                                 u"- 12",
                                 u"+-1",
                                 u"--1",
                                 u"1-",
                                 u"$-1",
                                 u"$ 1",
                                 u"0x 1",
                                 u"$1G",
                                 u"0xg",
                                 u"1e3",
                                 u"0b101",
                                 u"$$1",
                                 u"0$1",
                                 u"00x1",
                                 u"abc",
                                 u"\u0661\u0662",
                                 u"\uff11\uff12",
                                 u"\u00a012"}) {
        EXPECT_EQ(StrToInt(QString::fromUtf16(text)), std::nullopt)
            << QString::fromUtf16(text).toStdString();
    }
    EXPECT_EQ(StrToInt(QString(QChar(u'1')) + QChar(u'\0')), std::nullopt);
}

TEST(StrToIntDef, FallsBackToTheDefaultOnly) {
    EXPECT_EQ(StrToIntDef("abc", 500), 500);
    EXPECT_EQ(StrToIntDef("", -7), -7);
    EXPECT_EQ(StrToIntDef("2147483648", 500), 500);
    EXPECT_EQ(StrToIntDef("5", 500), 5);
    EXPECT_EQ(StrToIntDef("0", 500), 0);
    EXPECT_EQ(StrToIntDef("-2147483648", 500), Int32Min);
}

TEST(IntToStr, PlainDecimalText) {
    EXPECT_EQ(IntToStr(0), "0");
    EXPECT_EQ(IntToStr(7), "7");
    EXPECT_EQ(IntToStr(-7), "-7");
    EXPECT_EQ(IntToStr(20000), "20000");
    EXPECT_EQ(IntToStr(Int32Max), "2147483647");
    EXPECT_EQ(IntToStr(Int32Min), "-2147483648");
}

TEST(IntToStr, RoundTripsThroughStrToInt) {
    for (const std::int32_t v :
         {Int32Min, Int32Min + 1, -100000, -1, 0, 1, 99, 500, 20000, Int32Max - 1, Int32Max}) {
        EXPECT_EQ(StrToInt(IntToStr(v)), v);
    }
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
