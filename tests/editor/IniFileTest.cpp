#include "editor/IniFiles.h"

#include "file/FileStepHook.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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

void Put(const QString& path, const QByteArray& bytes) {
    QFile made(path);
    ASSERT_TRUE(made.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(made.write(bytes), bytes.size());
}

// A write the file refuses raises the message the user sees, unchanged, and carries up the step
// that stopped it and the system's error number.
TEST(IniFile, AFailedWriteCarriesItsStepAndErrorUpWithTheSameMessage) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath("t.ini");
    const struct {
        const char* what;
        std::function<void()> setup;
        QString name, key;
        TWriteStep step;
        int error;
    } rows[] = {
        {"a file nobody may write",
         [&] {
             Put(file, "[ADV]\n1=5\n");
             ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0444), 0);
         },
         "t.ini", "1", TWriteStep::Open, EACCES},
        {"a folder in the file's place", [&] { ASSERT_TRUE(QDir().mkdir(file)); }, "t.ini", "1",
         TWriteStep::Open, EISDIR},
        {"a folder on the way missing", [] {}, "absent/t.ini", "1", TWriteStep::Place, ENOENT},
        {"a link that leads to itself",
         [&] { ASSERT_EQ(::symlink("t.ini", QFile::encodeName(file).constData()), 0); }, "t.ini",
         "1", TWriteStep::Place, ELOOP},
        {"a key the file cannot hold", [] {}, "t.ini", "1=2", TWriteStep::Request, EINVAL},
        {"another file put in its place while the new one is made",
         [&] {
             Put(file, "[ADV]\n1=5\n");
             SetFileStepHook([&, done = false](TFileStep step, int) mutable {
                 if (step != TFileStep::Replacing || std::exchange(done, true))
                     return;
                 ASSERT_TRUE(QFile::rename(file, file + ".moved"));
                 Put(file, "[ADV]\n1=7\n");
             });
         },
         "t.ini", "1", TWriteStep::Replace, ESTALE},
    };
    const int home = ::open(".", O_PATH | O_CLOEXEC);
    ASSERT_GE(home, 0);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
        QFile::remove(file);
        QDir(dir.path()).rmdir("t.ini");
        row.setup();
        TIniFile ini(row.name);
        try {
            ini.WriteString("ADV", row.key, "10");
            ADD_FAILURE() << "the write succeeded";
        } catch (const EIniFileException& error) {
            EXPECT_EQ(error.Message(), "Impossible d'écrire dans " + row.name);
            EXPECT_EQ(error.Reason().Step, row.step);
            EXPECT_EQ(error.Reason().Error, row.error) << std::strerror(error.Reason().Error);
        }
        SetFileStepHook({});
    }
    ASSERT_EQ(::fchdir(home), 0);
    ::close(home);
}

} // namespace
