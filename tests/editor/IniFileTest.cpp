#include "editor/IniFiles.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <limits>

namespace {

TEST(IniFile, IntegersRoundTripAndLongTextIsCutBeforeConversion) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TIniFile ini(dir.filePath("t.ini"));
    for (std::int32_t value :
         {-5, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()}) {
        ini.WriteInteger("ADV", "1", value);
        EXPECT_EQ(ini.ReadInteger("ADV", "1", 7), value);
    }
    ini.WriteString("ADV", "2", QString(2046, u'0') + "12");
    EXPECT_EQ(ini.ReadString("ADV", "2", ""), QString(2046, u'0') + "1");
    EXPECT_EQ(ini.ReadInteger("ADV", "2", 7), 1);
}

} // namespace
