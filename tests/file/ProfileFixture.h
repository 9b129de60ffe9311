#pragma once

// A scratch directory with one profile file in it, and ways to act on it as another user.

#include "file/FileStepHook.h"
#include "file/PrivateProfile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <ftw.h>
#include <functional>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <ostream>

// Names and values show as text in the messages of failed checks.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace profiletest {

constexpr uid_t Nobody = 65534;
constexpr gid_t NoGroup = 65534;
// Users and a group of their own, for the tests that act as several users.
constexpr uid_t Alice = 60001;
constexpr uid_t Bob = 60002;
constexpr uid_t Carol = 60003;
constexpr gid_t Crew = 60010;

class ProfileFixture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }
    // A name that is not UTF-8 is beyond QTemporaryDir's reach: the folder's tree goes by its
    // bytes, before QTemporaryDir removes what is left.
    void TearDown() override {
        ::nftw(
            QFile::encodeName(FDir.path()).constData(),
            [](const char* path, const struct stat*, int, FTW*) {
                ::remove(path);
                return 0;
            },
            16, FTW_DEPTH | FTW_PHYS);
    }

    QString Path(const QString& name = "t.ini") const { return FDir.filePath(name); }
    QByteArray Native(const QString& name = "t.ini") const { return QFile::encodeName(Path(name)); }
    void Write(const QByteArray& bytes, const QString& name = "t.ini") const {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    QByteArray Read(const QString& name = "t.ini") const {
        QFile file(Path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : "<missing>";
    }
    bool Set(const QString& section, const QString& key, const QString& value,
             const QString& name = "t.ini") const {
        return bool(WritePrivateProfileString(&section, &key, &value, Path(name)));
    }
    // What a save ends with: the request to flush the file.
    bool Flush(const QString& name = "t.ini") const {
        return bool(WritePrivateProfileString(nullptr, nullptr, nullptr, Path(name)));
    }
    QString Get(const QString& section, const QString& key, const QString& name = "t.ini",
                int size = 2048) const {
        return GetPrivateProfileString(section, key, "<def>", size, Path(name));
    }
    void Chmod(const QString& name, mode_t mode) const {
        const QByteArray path = name.isEmpty() ? QFile::encodeName(FDir.path()) : Native(name);
        ASSERT_EQ(::chmod(path.constData(), mode), 0);
    }
    struct stat Status(const QString& name = "t.ini") const {
        struct stat status {};
        EXPECT_EQ(::lstat(Native(name).constData(), &status), 0) << name.toStdString();
        return status;
    }
    QStringList Entries() const {
        return QDir(FDir.path())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden);
    }

    QTemporaryDir FDir;
};

// Starts setup and then work in a child process.
inline pid_t StartChild(const std::function<void()>& setup, const std::function<bool()>& work) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        setup();
        ::_exit(work() ? 1 : 0);
    }
    return pid;
}

// The child's exit code once it ends: 1 when its work returned true, 0 when it returned false,
// -1 when the child did not exit normally (or never started).
inline int EndOfChild(pid_t pid) {
    int status = 0;
    if (pid <= 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

inline int InChild(const std::function<void()>& setup, const std::function<bool()>& work) {
    return EndOfChild(StartChild(setup, work));
}

// Runs setup and then a write in a child process that is killed (exits at once, as with kill
// -9) at step: a save killed there. Returns what InChild returns, 3 when the step was reached.
inline int KilledAt(TFileStep step, const std::function<void()>& setup,
                    const std::function<bool()>& write) {
    return InChild(
        [&] {
            setup();
            SetFileStepHook([step](TFileStep at, int) {
                if (at == step)
                    ::_exit(3);
            });
        },
        write);
}

// Root ignores permissions, so a test of them acts as an ordinary user in a child process.
inline void BecomeUser(uid_t user, gid_t group, const std::vector<gid_t>& groups = {}) {
    if (::setgroups(groups.size(), groups.data()) != 0 || ::setresgid(group, group, group) != 0 ||
        ::setresuid(user, user, user) != 0)
        ::_exit(99);
}

inline void BecomeNobody() {
    BecomeUser(Nobody, NoGroup);
}

} // namespace profiletest
