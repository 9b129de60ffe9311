#include "core/IntegerText.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <cstdint>
#include <limits>
#include <optional>

namespace {

constexpr std::int32_t Int32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t Int32Max = std::numeric_limits<std::int32_t>::max();

// Leading blanks, one sign, then decimal digits within the signed 32-bit range, or a
// hexadecimal prefix and digits whose magnitude fits 32 bits, taken as a 32-bit pattern.
TEST(StrToInt, ConvertsDecimalAndHexadecimalText) {
    const std::pair<const char16_t*, std::int32_t> rows[] = {
        {u"0", 0},    {u"0x1f", 31},      {u"2147483647", Int32Max},
        {u"-0", 0},   {u"    -12", -12},  {u"-2147483648", Int32Min},
        {u"007", 7},  {u"  0XaB", 171},   {u"$80000000", Int32Min},
        {u"+7", 7},   {u"-$10", -16},     {u"-$80000000", Int32Min},
        {u"$1F", 31}, {u"$FFFFFFFF", -1}, {u"$7FFFFFFF", Int32Max},
        {u"x1f", 31}, {u"-$FFFFFFFF", 1}, {u"$00000000FFFFFFFF", -1},
        {u"X1F", 31}, {u"+0x10", 16},     {u"000000000000042", 42}};
    for (const auto& [text, value] : rows)
        EXPECT_EQ(StrToInt(QString::fromUtf16(text)), value)
            << QString::fromUtf16(text).toStdString();
    EXPECT_EQ(StrToIntDef("abc", 500), 500);
    EXPECT_EQ(StrToIntDef("0", 500), 0);
}

// Out of range, a lone sign or prefix, any other blank or digit, anything after the digits.
TEST(StrToInt, RefusesEverythingElse) {
    for (const char16_t* text : {u"",   u"-$",  u"$1G",  u"\u00a012",
                                 u" ",  u"1.5", u"1e3",  u"2147483648",
                                 u"-",  u"1,5", u"$$1",  u"$100000000",
                                 u"+",  u"12a", u"12\n", u"-2147483649",
                                 u"$",  u"12 ", u"\t12", u"\u0661\u0662",
                                 u"x",  u"+-1", u"- 12", u"\uff11\uff12",
                                 u"0x", u"$-1", u"00x1", u"18446744073709551621"})
        EXPECT_EQ(StrToInt(QString::fromUtf16(text)), std::nullopt)
            << QString::fromUtf16(text).toStdString();
    EXPECT_EQ(StrToInt(QString(QChar(u'1')) + QChar(u'\0')), std::nullopt);
}

TEST(IntToStr, PlainDecimalTextInAnyLocale) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(IntToStr(20000), "20000");
    EXPECT_EQ(IntToStr(Int32Min), "-2147483648");
    QLocale::setDefault(saved);
}

} // namespace
