#include "ProfileFixture.h"

#include <QRegularExpression>

#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <utility>

namespace {

using namespace profiletest;

class ProfileReplacementTest : public ProfileFixture {
protected:
    // 1 when an unprivileged user's write succeeded, 0 when it failed.
    int WriteAsNobody() const {
        return InChild(BecomeNobody, [&] { return Set("ADV", "1", "10"); });
    }
    void Chown(const QString& name, uid_t user, gid_t group) const {
        ASSERT_EQ(::chown(Native(name).constData(), user, group), 0);
    }
    void Link(const QString& name, const QString& other) const {
        ASSERT_EQ(::link(Native(name).constData(), Native(other).constData()), 0);
    }
    void Clear() const {
        for (const QString& name : Entries())
            ASSERT_TRUE(QFile::remove(Path(name))) << name.toStdString();
    }
    // Larger than the 4096 bytes that the tests' small disk holds.
    static QByteArray LargeFile() {
        QByteArray bytes = "[A]\n";
        for (int i = 0; i < 400; ++i)
            bytes += "key" + QByteArray::number(i) + "=value\n";
        return bytes;
    }
};

// A child process whose files cannot grow past 4096 bytes, as on a full disk. With
// killed set, going past the limit kills it, as a crash in the middle of a save would.
std::function<void()> SmallDisk(bool killed) {
    return [killed] {
        if (!killed)
            std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            ::_exit(99);
    };
}

TEST_F(ProfileReplacementTest, AFullDiskLeavesTheOldFileWhole) {
    const QByteArray before = LargeFile();
    for (bool linked : {false, true}) {
        SCOPED_TRACE(linked ? "written in place" : "replaced");
        Clear();
        Write(before);
        if (linked)
            Link("t.ini", "other.ini");
        EXPECT_EQ(InChild(SmallDisk(false), [&] { return Set("A", "key1", "changed"); }), 0);
        EXPECT_EQ(Read(), before);
        EXPECT_EQ(Entries(), linked ? QStringList({"other.ini", "t.ini"}) : QStringList{"t.ini"});
    }
}

TEST_F(ProfileReplacementTest, TheFilesOrTheDirectorysPermissionsStopAnUnprivilegedUser) {
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

    ASSERT_TRUE(QFile::remove(Path()));
    Chmod("", 0755); // No new file where none may be made.
    EXPECT_EQ(WriteAsNobody(), 0);
    EXPECT_TRUE(Entries().isEmpty());
}

TEST_F(ProfileReplacementTest, AReplacedFileKeepsItsOwnerAndPermissions) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to hand files to another user";
    Chmod("", 0777);
    Write("[ADV]\n1=5\n");
    Chown("t.ini", Nobody, NoGroup);
    Chmod("t.ini", 0640);
    EXPECT_EQ(WriteAsNobody(), 1);
    EXPECT_EQ(Read(), "[ADV]\n1=10\n");
    EXPECT_TRUE(Set("ADV", "1", "6")); // by root
    const struct stat status = Status();
    EXPECT_EQ(status.st_uid, Nobody);
    EXPECT_EQ(status.st_gid, NoGroup);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    EXPECT_EQ(Entries(), QStringList{"t.ini"});

    // A new file gets what the user's file mask leaves of read and write for all.
    ASSERT_TRUE(QFile::remove(Path()));
    const auto maskedNobody = [] {
        ::umask(027);
        BecomeNobody();
    };
    EXPECT_EQ(InChild(maskedNobody, [&] { return Set("ADV", "1", "10"); }), 1);
    EXPECT_EQ(Status().st_mode & 07777, 0640u);
    EXPECT_EQ(Status().st_uid, Nobody);
}

TEST_F(ProfileReplacementTest, AGroupSharedFileKeepsItsGroupAndSetgidWhoeverSavesIt) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to hand files to other users";
    const struct {
        const char* who;
        uid_t user;
        std::vector<gid_t> groups;
        mode_t mode;
        uid_t owner;
        gid_t group;
        mode_t after;
    } rows[] = {{"root", 0, {}, 02664, Alice, Crew, 02664},
                {"the owner", Alice, {Crew}, 02664, Alice, Crew, 02664},
                {"another member", Bob, {Crew}, 02664, Bob, Crew, 02664},
                {"another member, no setgid", Bob, {Crew}, 0664, Bob, Crew, 0664},
                {"no member", Carol, {}, 02666, Carol, Carol, 0666}};
    Chmod("", 0777);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.who);
        Write("[ADV]\n1=5\n");
        Chown("t.ini", Alice, Crew);
        Chmod("t.ini", row.mode);
        const auto asUser = [&] { BecomeUser(row.user, row.user, row.groups); };
        EXPECT_EQ(InChild(asUser, [&] { return Set("ADV", "1", "10"); }), 1);
        EXPECT_EQ(Read(), "[ADV]\n1=10\n");
        const struct stat status = Status();
        EXPECT_EQ(status.st_uid, row.owner);
        EXPECT_EQ(status.st_gid, row.group);
        EXPECT_EQ(status.st_mode & 07777, row.after);
        EXPECT_EQ(Entries(), QStringList{"t.ini"});
    }
}

// Where no new file can take the old one's place, or other names must see the new curve, the
// file is the same file afterwards, with the new bytes.
TEST_F(ProfileReplacementTest, AFileThatCannotOrMustNotBeReplacedIsWrittenInPlace) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to hand files to another user";
    const struct {
        const char* what;
        mode_t directory;
        bool linked;
        bool byNobody;
        bool appendOnly = false; // chattr +a: names may be added, never removed
    } rows[] = {{"read-only directory", 0755, false, true},
                {"someone else's file in a sticky directory", 01777, false, true},
                {"second hard link", 0755, true, false},
                {"second hard link, unprivileged", 0777, true, true},
                {"append-only directory", 0755, false, false, true}};
    const auto setFolderFlags = [this](int flags) {
        const int folder =
            ::open(QFile::encodeName(FDir.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const bool set = ::ioctl(folder, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(folder);
        return set;
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Chmod("", 0755);
        Clear();
        Write("[ADV]\n1=5\n");
        Chmod("t.ini", 0666);
        if (row.linked)
            Link("t.ini", "other.ini");
        Chmod("", row.directory);
        if (row.appendOnly && !setFolderFlags(FS_APPEND_FL))
            GTEST_SKIP() << "the file system has no append-only folders";
        const ino_t inode = Status().st_ino;
        const int written = row.byNobody ? WriteAsNobody() : Set("ADV", "1", "10");
        EXPECT_EQ(written, 1);
        EXPECT_EQ(Read(), "[ADV]\n1=10\n");
        EXPECT_EQ(Status().st_ino, inode);
        EXPECT_EQ(Status().st_mode & 07777, 0666u);
        if (row.linked) {
            EXPECT_EQ(Read("other.ini"), "[ADV]\n1=10\n");
        }
        EXPECT_TRUE(Set("ADV", "1", "11"));
        EXPECT_TRUE(Flush());
        EXPECT_EQ(Entries(),
                  row.linked ? QStringList({"other.ini", "t.ini"}) : QStringList{"t.ini"});
        ASSERT_TRUE(!row.appendOnly || setFolderFlags(0));
    }
}

TEST_F(ProfileReplacementTest, ASymbolicLinkStaysALinkToTheNewCurve) {
    Write("[ADV]\n1=5\n", "real.ini");
    ASSERT_EQ(::symlink("real.ini", Native().constData()), 0);
    ASSERT_EQ(::symlink("made.ini", Native("dangling.ini").constData()), 0);
    EXPECT_TRUE(Set("ADV", "1", "10"));
    EXPECT_TRUE(Set("ADV", "1", "10", "dangling.ini"));
    EXPECT_TRUE(S_ISLNK(Status().st_mode));
    EXPECT_TRUE(S_ISLNK(Status("dangling.ini").st_mode));
    EXPECT_EQ(Read("real.ini"), "[ADV]\n1=10\n");
    EXPECT_EQ(Read("made.ini"), "[ADV]\n1=10\n");
}

// Only what one of our own saves left when it was killed, before or just after it swapped the
// files, is removed, once per save, when it ends with its flush: never a file that only has a
// temporary file's name, another user's leftover, one with another name too, or one that a save
// in progress holds.
TEST_F(ProfileReplacementTest, ASaveRemovesTheTemporaryFilesOfUnfinishedSavesAndNothingElse) {
    const QStringList lookAlikes = {
        "t.ini.HOpekH",           "t.ini.backup",          "t.ini.varnotel-Ab12C",
        "t.ini.varnotel-Ab12Cde", "t.ini.varnotel-Ab_2Cd", "other.ini.varnotel-Ab12Cd",
        "T.INI.varnotel-Ab12Cd",  "t.ini.varnotel-backup", ".t.ini.varnotel-Ab12Cd",
        "t.ini.varnotel-Ab12Cd~", "t.ini.varnotel-Ab12Cd", "t.ini.varnotel-Ab12CdEf34Gh"};
    const auto asUser = [](uid_t user) {
        return [user] {
            if (user != 0)
                BecomeUser(user, user, {Crew});
        };
    };
    const auto swapped = [this](const QString& left) {
        ASSERT_EQ(::renameat2(AT_FDCWD, Native(left).constData(), AT_FDCWD, Native().constData(),
                              RENAME_EXCHANGE),
                  0);
    };
    int held = -1;
    const auto heldBySave = [&](const QString& left) {
        held = ::open(Native(left).constData(), O_RDWR | O_CLOEXEC);
        struct flock lock {}; // the whole file
        lock.l_type = F_WRLCK;
        ASSERT_EQ(::fcntl(held, F_OFD_SETLK, &lock), 0);
    };
    const struct {
        const char* what;
        uid_t killed, saver;
        mode_t folder;
        std::function<void(const QString&)> then;
        bool removed;
    } rows[] = {
        {"a save of ours killed before the swap", 0, 0, 0755, {}, true},
        {"... just after it", 0, 0, 0755, swapped, true},
        {"... with a second name", 0, 0, 0755, [this](const QString& l) { Link(l, "k"); }, false},
        {"... that a save in progress holds", 0, 0, 0755, heldBySave, false},
        {"a teammate's, in a group folder", Bob, Alice, 02770, {}, false},
        {"another user's, in a sticky folder, root saving", Bob, 0, 01777, {}, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        if ((row.killed != 0 || row.saver != 0) && ::geteuid() != 0)
            continue; // acting as other users needs root
        Clear();
        if (::geteuid() == 0)
            Chown("", 0, Crew);
        Chmod("", row.folder);
        Write("[ADV]\n1=5\n");
        Chmod("t.ini", 0666);
        for (const QString& name : lookAlikes)
            Write("[ADV]\n1=99\n", name);
        ASSERT_EQ(KilledAt(TFileStep::Replacing, asUser(row.killed),
                           [&] { return Set("ADV", "1", "7"); }),
                  3);
        QStringList left = Entries().filter(QRegularExpression("^t\\.ini\\.varnotel-\\w{12}$"));
        left.removeOne("t.ini.varnotel-Ab12CdEf34Gh");
        ASSERT_EQ(left.size(), 1);
        if (row.then)
            row.then(left[0]);
        QStringList expected = Entries();
        if (row.removed)
            expected.removeOne(left[0]);
        EXPECT_EQ(InChild(asUser(row.saver), [&] { return Set("ADV", "1", "6"); }), 1);
        EXPECT_TRUE(Entries().contains(left[0])) << "a write looked for leftovers";
        EXPECT_EQ(InChild(asUser(row.saver), [&] { return Flush(); }), 1);
        EXPECT_EQ(Entries(), expected);
        EXPECT_EQ(Read(), "[ADV]\n1=6\n");
        for (const QString& name : lookAlikes)
            EXPECT_EQ(Read(name), "[ADV]\n1=99\n") << name.toStdString();
        if (held >= 0)
            ::close(std::exchange(held, -1));
    }
    Chmod("", 0700);
}

TEST_F(ProfileReplacementTest, WhatASaveKilledWhileWritingLeavesTheNextSaveRemoves) {
    const QByteArray before = LargeFile();
    Write(before);
    EXPECT_EQ(InChild(SmallDisk(true), [&] { return Set("A", "key1", "changed"); }), -1);
    EXPECT_EQ(Read(), before);
    EXPECT_TRUE(Set("A", "key2", "changed"));
    EXPECT_TRUE(Flush());
    EXPECT_EQ(Entries(), QStringList{"t.ini"});
    EXPECT_EQ(Get("A", "key2"), "changed");
}

} // namespace
