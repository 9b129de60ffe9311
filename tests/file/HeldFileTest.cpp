#include "ProfileFixture.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/xattr.h>

namespace {

using namespace profiletest;

const QByteArray Old = "[ADV]\n1=5\n";
const QByteArray New = "[ADV]\n1=10\n";

// A hook for the steps of reads and writes, gone with the object.
class StepHook {
public:
    explicit StepHook(TFileStepHook hook) : FPrevious(SetFileStepHook(std::move(hook))) {}
    // Acts at one step only, the first time it is reached.
    StepHook(TFileStep step, std::function<void()> action)
        : StepHook([step, action, done = false](TFileStep at, int) mutable {
              if (at == step && !done) {
                  done = true;
                  action();
              }
          }) {}
    ~StepHook() { SetFileStepHook(FPrevious); }

private:
    TFileStepHook FPrevious;
};

class HeldFileTest : public ProfileFixture {
public:
    void SetUp() override {
        ProfileFixture::SetUp();
        FRoot = QFile::encodeName(FDir.path());
    }
    // A name under the folder the test works in, as bytes.
    QByteArray Dir(const QByteArray& name = {}) const {
        return FRoot + (name.isEmpty() ? "" : "/" + name);
    }
    // Every name under the folder, as bytes, folders' contents after them.
    QByteArrayList Listing(const QByteArray& under = {}) const {
        QByteArrayList names;
        DIR* folder = ::opendir(Dir(under).constData());
        while (const dirent* entry = folder ? ::readdir(folder) : nullptr) {
            const QByteArray name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            const QByteArray path = under.isEmpty() ? name : under + "/" + name;
            names.append(path);
            if (entry->d_type == DT_DIR)
                names.append(Listing(path));
        }
        if (folder)
            ::closedir(folder);
        std::sort(names.begin(), names.end());
        return names;
    }
    void Put(const QByteArray& name, const QByteArray& bytes) const {
        const int fd =
            ::open(Dir(name).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0) << name.constData();
        ASSERT_EQ(::write(fd, bytes.constData(), bytes.size()), bytes.size());
        ::close(fd);
    }
    QByteArray Take(const QByteArray& name) const {
        const int fd = ::open(Dir(name).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return "<missing>";
        QByteArray bytes;
        char buffer[4096];
        for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;)
            bytes.append(buffer, got);
        ::close(fd);
        return bytes;
    }
    void MakeDir(const QByteArray& name) const {
        ASSERT_EQ(::mkdir(Dir(name).constData(), 0755), 0) << name.constData();
    }
    void SymLink(const QByteArray& target, const QByteArray& name) const {
        ASSERT_EQ(::symlink(target.constData(), Dir(name).constData()), 0) << name.constData();
    }
    struct stat StatOf(const QByteArray& name) const {
        struct stat status {};
        EXPECT_EQ(::lstat(Dir(name).constData(), &status), 0) << name.constData();
        return status;
    }

    QByteArray FRoot;
};

// Runs work in a child that works in folder (a name given as bytes, as the kernel has it).
int InFolder(const QByteArray& folder, const std::function<void()>& setup,
             const std::function<bool()>& work) {
    return InChild(
        [&] {
            setup();
            if (::chdir(folder.constData()) != 0)
                ::_exit(98);
        },
        work);
}

bool SetHere(const char* name = "./t.ini") {
    const QString section = "ADV", key = "1", value = "10";
    return bool(WritePrivateProfileString(&section, &key, &value, QString::fromUtf8(name)));
}

QString GetHere(const char* name = "./t.ini") {
    return GetPrivateProfileString("ADV", "1", "<def>", 2048, QString::fromUtf8(name));
}

// Save and Load reach the file the kernel reaches through the links, whatever bytes the names
// hold, and write nothing anywhere else; the flush syncs the folder the file is in.
TEST_F(HeldFileTest, ALinkLeadsSavesAndLoadsToTheFileTheKernelReaches) {
    const struct {
        const char* what;
        std::function<void(HeldFileTest&)> build;
        QByteArray workIn, target;
    } rows[] = {
        {"a link to a name that is not UTF-8",
         [](HeldFileTest& t) {
             t.Put("courbe-\xe9.ini", Old);
             t.SymLink("courbe-\xe9.ini", "t.ini");
         },
         "", "courbe-\xe9.ini"},
        {"a relative link in a folder whose name is not UTF-8",
         [](HeldFileTest& t) {
             t.MakeDir("dossier-\xe9");
             t.Put("dossier-\xe9/x.ini", Old);
             t.SymLink("x.ini", "dossier-\xe9/t.ini");
         },
         "dossier-\xe9", "dossier-\xe9/x.ini"},
        {"a linked folder and .. after it",
         [](HeldFileTest& t) {
             t.MakeDir("o");
             t.MakeDir("o/deep");
             t.MakeDir("w");
             t.Put("o/x.ini", Old);
             t.Put("w/x.ini", Old);
             t.SymLink("../o/deep/", "w/dd");
             t.SymLink("dd/../x.ini", "w/t.ini");
         },
         "w", "o/x.ini"},
        {"a chain of links, one of them absolute",
         [](HeldFileTest& t) {
             t.MakeDir("a");
             t.Put("a/real.ini", Old);
             t.SymLink(t.Dir("a/next.ini"), "t.ini");
             t.SymLink("real.ini", "a/next.ini");
         },
         "", "a/real.ini"},
    };
    const QByteArray top = Dir();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        FRoot = top + "/" + QByteArray::number(&row - rows);
        MakeDir("");
        row.build(*this);
        const QByteArray folder = Dir(row.workIn);
        const QByteArrayList before = Listing();
        EXPECT_EQ(InFolder(
                      folder, [] {}, [] { return SetHere() && GetHere() == "10"; }),
                  1);
        EXPECT_EQ(Take(row.target), New);
        EXPECT_EQ(Listing(), before);
        if (row.workIn == "w") {
            EXPECT_EQ(Take("w/x.ini"), Old);
        }
        // The flush, here, where the hook tells which folder it syncs.
        struct stat synced {};
        const StepHook hook([&](TFileStep step, int fd) {
            if (step == TFileStep::SyncingFolder)
                ::fstat(fd, &synced);
        });
        const int home = ::open(".", O_PATH | O_CLOEXEC);
        ASSERT_EQ(::chdir(folder.constData()), 0);
        EXPECT_TRUE(WritePrivateProfileString(nullptr, nullptr, nullptr, "./t.ini"));
        ASSERT_EQ(::fchdir(home), 0);
        ::close(home);
        struct stat target {};
        ASSERT_EQ(::stat(Dir(row.target).constData(), &target), 0);
        EXPECT_EQ(synced.st_dev, target.st_dev);
        EXPECT_EQ(synced.st_ino,
                  StatOf(row.target.left(row.target.lastIndexOf('/') + 1) + ".").st_ino);
    }
}

// In a sticky folder that anyone may write, a link is followed only by its owner or when the
// folder's owner made it: another user could have planted it to have our save overwrite a file
// of ours.
TEST_F(HeldFileTest, ALinkInASharedStickyFolderIsFollowedOnlyWhereTheKernelWould) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as several users";
    const struct {
        const char* what;
        mode_t folder;
        uid_t linkOwner;
        bool followed;
    } rows[] = {{"our own link", 01777, Alice, true},
                {"the folder owner's link", 01777, Carol, true},
                {"another user's link", 01777, Bob, false},
                {"another user's link, not sticky", 0777, Bob, true},
                {"another user's link, sticky but not for all", 01775, Bob, true}};
    MakeDir("home");
    ASSERT_EQ(::chown(Dir("home").constData(), Alice, Alice), 0);
    ASSERT_EQ(::chown(Dir().constData(), Carol, Carol), 0);
    const auto asAlice = [] { BecomeUser(Alice, Alice); };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        QFile::remove(Path());
        Put("home/notes.ini", Old);
        ASSERT_EQ(::chown(Dir("home/notes.ini").constData(), Alice, Alice), 0);
        SymLink(Dir("home/notes.ini"), "t.ini");
        ASSERT_EQ(::lchown(Dir("t.ini").constData(), row.linkOwner, row.linkOwner), 0);
        ASSERT_EQ(::chmod(Dir().constData(), row.folder), 0);
        EXPECT_EQ(InFolder(Dir(), asAlice, [] { return GetHere() == "10"; }), 0);
        EXPECT_EQ(InFolder(Dir(), asAlice, [] { return SetHere(); }), row.followed ? 1 : 0);
        EXPECT_EQ(Take("home/notes.ini"), row.followed ? New : Old);
        EXPECT_EQ(InFolder(Dir(), asAlice, [] { return GetHere() == "10"; }), row.followed);
        EXPECT_TRUE(S_ISLNK(StatOf("t.ini").st_mode));
    }
    ASSERT_EQ(::chmod(Dir().constData(), 0700), 0);
}

// What another process does between two steps of a read or a write cannot send it elsewhere,
// lose a file or hang it: a link, a FIFO or another file put in the file's place.
TEST_F(HeldFileTest, AFileSwappedBetweenTwoStepsIsNeitherFollowedNorOverwritten) {
    const auto plantLink = [](HeldFileTest& t) {
        ::rename(t.Dir("t.ini").constData(), t.Dir("moved.ini").constData());
        t.SymLink("notes.ini", "t.ini");
    };
    const auto plantFifo = [](HeldFileTest& t) {
        ::rename(t.Dir("t.ini").constData(), t.Dir("moved.ini").constData());
        ASSERT_EQ(::mkfifo(t.Dir("t.ini").constData(), 0666), 0);
    };
    const auto plantFile = [](HeldFileTest& t) {
        ::rename(t.Dir("t.ini").constData(), t.Dir("moved.ini").constData());
        t.Put("t.ini", "[ADV]\n1=7\n");
    };
    const struct {
        const char* what;
        TFileStep step;
        bool existed;
        std::function<void(HeldFileTest&)> plant;
        bool load;
        QByteArray atName; // what the name holds afterwards, "" for a link or a FIFO
        bool written = false;
    } rows[] = {
        {"link planted where no file was", TFileStep::PlaceHeld, false, plantLink, false, ""},
        {"... while the new file is made", TFileStep::Replacing, false, plantLink, false, ""},
        {"link in the place of the file", TFileStep::PlaceHeld, true, plantLink, false, ""},
        {"... while the new file is made", TFileStep::Replacing, true, plantLink, false, ""},
        {"... before a load", TFileStep::PlaceHeld, true, plantLink, true, ""},
        {"FIFO before a save", TFileStep::PlaceHeld, true, plantFifo, false, ""},
        {"FIFO before a load", TFileStep::PlaceHeld, true, plantFifo, true, ""},
        {"another file while the new one is made", TFileStep::Replacing, true, plantFile, false,
         "[ADV]\n1=7\n"},
        {"another editor's new file while ours is made: written into it", TFileStep::Replacing,
         false, plantFile, false, New, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        for (const QString& name : Entries())
            ASSERT_TRUE(QFile::remove(Path(name)));
        Put("notes.ini", Old);
        if (row.existed)
            Put("t.ini", Old);
        const StepHook hook(row.step, [&] { row.plant(*this); });
        // A read or write that blocks on the FIFO ends with the alarm.
        const int done = InChild([] { ::alarm(10); },
                                 [&] {
                                     return row.load ? Get("ADV", "1") == "<def>"
                                                     : Set("ADV", "1", "10") == row.written;
                                 });
        EXPECT_EQ(done, 1);
        EXPECT_EQ(Take("notes.ini"), Old);
        if (row.existed) {
            EXPECT_EQ(Take("moved.ini"), Old);
        }
        if (!row.atName.isEmpty()) {
            EXPECT_EQ(Take("t.ini"), row.atName);
        } else {
            EXPECT_FALSE(S_ISREG(StatOf("t.ini").st_mode));
        }
        QStringList expected = {"notes.ini", "t.ini"};
        if (row.existed)
            expected.insert(0, "moved.ini");
        EXPECT_EQ(Entries(), expected);
    }
}

// An access control list in the form the kernel keeps it in "system.posix_acl_access": the
// owner, the named users, the owning group, the mask and the others, with their rights.
QByteArray AccessList(int owner, const std::vector<std::pair<uid_t, int>>& users, int group,
                      int mask, int other) {
    QByteArray bytes;
    const auto add32 = [&](quint32 v) { bytes.append(reinterpret_cast<const char*>(&v), 4); };
    const auto entry = [&](quint16 tag, quint16 rights, quint32 id) {
        bytes.append(reinterpret_cast<const char*>(&tag), 2);
        bytes.append(reinterpret_cast<const char*>(&rights), 2);
        add32(id);
    };
    add32(2);
    entry(0x01, owner, quint32(-1));
    for (const auto& [user, rights] : users)
        entry(0x02, rights, user);
    entry(0x04, group, quint32(-1));
    entry(0x10, mask, quint32(-1));
    entry(0x20, other, quint32(-1));
    return bytes;
}

QByteArray Attribute(const QByteArray& path, const char* name) {
    QByteArray value(4096, '\0');
    const ssize_t size = ::lgetxattr(path.constData(), name, value.data(), value.size());
    return size < 0 ? "<none>" : value.left(size);
}

// A replacement carries the old file's access control list and other extended attributes, so
// nobody gains or loses a right; where it could not carry them, the file is written in place.
TEST_F(HeldFileTest, AccessControlListsAndAttributesStayWithTheFile) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as several users";
    const char* const Acl = "system.posix_acl_access";
    // rw-r----- for the owner and the group, read and write for nobody as well.
    const QByteArray shared = AccessList(6, {{Nobody, 6}}, 4, 6, 0);
    const int noDumpNoAtime = FS_NODUMP_FL | FS_NOATIME_FL; // chattr +d +A
    const struct {
        const char* what;
        std::vector<std::pair<const char*, QByteArray>> attributes;
        uid_t saver;
        bool inPlace;
        int flags = 0;
    } rows[] = {
        {"an access control list, saved by root", {{Acl, shared}}, 0, false},
        {"... saved by the owner", {{Acl, shared}}, Alice, false},
        {"a user attribute", {{"user.origin", "bench 3"}}, Alice, false},
        {"an attribute only root may set, saved by the owner",
         {{Acl, shared}, {"security.varnotel", "tag"}},
         Alice,
         true},
        {"flags: no dump, no access times, saved by the owner", {}, Alice, false, noDumpNoAtime},
        {"... saved by root", {}, 0, false, noDumpNoAtime}};
    // The file's flags, with more added first; -1 where the file system has none.
    const auto flagsOf = [this](int more) {
        const int fd = ::open(Dir("t.ini").constData(), O_RDONLY | O_CLOEXEC);
        int flags = 0;
        if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0 ||
            (more && (flags |= more, ::ioctl(fd, FS_IOC_SETFLAGS, &flags)) != 0))
            flags = -1;
        ::close(fd);
        return flags;
    };
    ASSERT_EQ(::chmod(Dir().constData(), 0777), 0);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        QFile::remove(Path());
        Put("t.ini", Old);
        ASSERT_EQ(::chown(Dir("t.ini").constData(), Alice, Crew), 0);
        ASSERT_EQ(::chmod(Dir("t.ini").constData(), 0640), 0);
        for (const auto& [name, value] : row.attributes)
            if (::lsetxattr(Dir("t.ini").constData(), name, value.constData(), value.size(), 0) !=
                0)
                GTEST_SKIP() << "the file system takes no attribute " << name;
        const int flags = flagsOf(row.flags);
        if (row.flags && flags < 0)
            GTEST_SKIP() << "the file system takes no flags";
        const struct stat before = StatOf("t.ini");
        const auto asSaver = [&] { BecomeUser(row.saver, row.saver ? Alice : 0); };
        EXPECT_EQ(InChild(asSaver, [&] { return Set("ADV", "1", "10"); }), 1);
        EXPECT_EQ(Take("t.ini"), New);
        const struct stat after = StatOf("t.ini");
        EXPECT_EQ(after.st_ino == before.st_ino, row.inPlace);
        EXPECT_EQ(after.st_mode & 07777, before.st_mode & 07777);
        EXPECT_EQ(after.st_uid, Alice);
        for (const auto& [name, value] : row.attributes)
            EXPECT_EQ(Attribute(Dir("t.ini"), name), value) << name;
        EXPECT_EQ(flagsOf(0), flags);
        if (row.attributes.empty() || row.attributes.front().first != Acl)
            continue;
        // Nobody may still read it; the group still may not write it.
        EXPECT_EQ(InChild(BecomeNobody, [&] { return Get("ADV", "1") == "10"; }), 1);
        EXPECT_EQ(
            InChild([] { BecomeUser(Bob, Bob, {Crew}); }, [&] { return Set("ADV", "1", "11"); }),
            0);
    }
}

// A file that had no access control list gets none from its folder's default one when it is
// replaced: no right is widened.
TEST_F(HeldFileTest, AReplacementTakesNoRightsFromItsFolder) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    const QByteArray inherited = AccessList(7, {{Nobody, 7}}, 5, 7, 5);
    if (::setxattr(Dir().constData(), "system.posix_acl_default", inherited.constData(),
                   inherited.size(), 0) != 0)
        GTEST_SKIP() << "the file system has no access control lists";
    Put("t.ini", Old);
    ASSERT_EQ(::removexattr(Dir("t.ini").constData(), "system.posix_acl_access"), 0);
    ASSERT_EQ(::chmod(Dir("t.ini").constData(), 0600), 0);
    EXPECT_TRUE(Set("ADV", "1", "10"));
    EXPECT_EQ(Take("t.ini"), New);
    EXPECT_EQ(Attribute(Dir("t.ini"), "system.posix_acl_access"), "<none>");
    EXPECT_EQ(StatOf("t.ini").st_mode & 07777, 0600u);
    ASSERT_EQ(::chmod(Dir().constData(), 0755), 0);
    EXPECT_EQ(InChild(BecomeNobody, [&] { return Get("ADV", "1") == "10"; }), 0);
}

// Two editors saving the same file at once, each key in turn: every key ends with the value
// its editor wrote, and the file has exactly the lines it should, whether it is replaced or
// written in place (one file reached through hard links in two folders, each editor through its
// own), or in a folder that the savers may write but not list. Locks that others hold on the
// folder do not stop them, and a load in the middle of a write in place sees no half of it.
TEST_F(HeldFileTest, TwoEditorsSavingAtOnceLoseNoKeyAndLeaveNoStrayByte) {
    // No line end after the last value, so that a write in place that is seen half done shows
    // as a wrong last value.
    const auto file = [](int adv, int rpm) {
        QByteArray text = "[ADV]\n";
        for (int k = 1; k <= 13; ++k)
            text += QByteArray::number(k) + "=" + QByteArray::number(adv * k) + "\n";
        text += "\n[RPM]\n";
        for (int k = 1; k <= 13; ++k)
            text += QByteArray::number(k) + "=" + QByteArray::number(rpm * k) + "\n";
        return text.chopped(1);
    };
    const auto save = [this](const char* section, int factor, const QString& name) {
        bool all = true;
        for (int k = 1; k <= 13; ++k)
            all = Set(section, QString::number(k), QString::number(factor * k), name) && all;
        return all && Flush(name);
    };
    const struct {
        const char* what;
        bool linked;
        mode_t folder;
        uid_t saver;
    } modes[] = {{"replaced", false, 0755, 0},
                 {"written in place through links in two folders", true, 0755, 0},
                 {"in a folder the savers may not list", false, 0300, Nobody}};
    MakeDir("other");
    for (const auto& mode : modes) {
        SCOPED_TRACE(mode.what);
        if (mode.saver != 0 && ::geteuid() != 0)
            continue; // acting as another user needs root
        const QString otherName = mode.linked ? "other/t.ini" : "t.ini";
        QFile::remove(Path("other/t.ini"));
        Put("t.ini", file(1, 1));
        if (mode.linked) {
            ASSERT_EQ(::link(Dir("t.ini").constData(), Dir("other/t.ini").constData()), 0);
        }
        // One editor's write stops just before it replaces the file, while another writes, and
        // written in place it stops half done, while a third loads; each has 100 ms to finish.
        pid_t other = -1, reader = -1;
        {
            const pid_t editor = ::getpid();
            const StepHook hook([&](TFileStep step, int) {
                const bool replacing = step == TFileStep::Replacing;
                pid_t& child = replacing ? other : reader;
                if (::getpid() != editor || child > 0 ||
                    (!replacing && step != TFileStep::WritingInPlace))
                    return;
                child = StartChild([] {},
                                   [&] {
                                       return replacing ? Set("RPM", "1", "1000000", otherName)
                                                        : Get("RPM", "13", otherName) == "13";
                                   });
                ::usleep(100000);
            });
            EXPECT_TRUE(Set("ADV", "1", "100"));
        }
        EXPECT_EQ(EndOfChild(other), 1);
        EXPECT_EQ(EndOfChild(reader), mode.linked ? 1 : -1) << "a load saw a write half done";
        QByteArray expected = file(1, 1);
        expected.replace("[ADV]\n1=1\n", "[ADV]\n1=100\n");
        expected.replace("[RPM]\n1=1\n", "[RPM]\n1=1000000\n");
        EXPECT_EQ(Take("t.ini"), expected);

        // Two whole saves at the same time, a few times over, while others hold locks on the
        // folder, exclusive and shared (anyone who may read a folder may lock it).
        if (mode.saver != 0) {
            ASSERT_EQ(::chown(Dir().constData(), mode.saver, mode.saver), 0);
        }
        ASSERT_EQ(::chmod(Dir().constData(), mode.folder), 0);
        const int folder = ::open(Dir().constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const auto asSaver = [&] {
            if (mode.saver != 0)
                BecomeUser(mode.saver, mode.saver);
        };
        for (int trial = 0; trial < 6; ++trial) {
            ASSERT_EQ(::flock(folder, trial % 2 ? LOCK_EX : LOCK_SH), 0);
            Put("t.ini", file(1, 1));
            ASSERT_EQ(::chmod(Dir("t.ini").constData(), 0666), 0);
            const pid_t first = StartChild(asSaver, [&] { return save("ADV", 3, "t.ini"); });
            EXPECT_EQ(InChild(asSaver, [&] { return save("RPM", 1000, otherName); }), 1);
            EXPECT_EQ(EndOfChild(first), 1);
            EXPECT_EQ(Take("t.ini"), file(3, 1000)) << "trial " << trial;
        }
        ::close(folder);
        EXPECT_EQ(Take(otherName.toUtf8()), file(3, 1000));
        EXPECT_EQ(Listing(), (mode.linked ? QByteArrayList{"other", "other/t.ini", "t.ini"}
                                          : QByteArrayList{"other", "t.ini"}));
        ASSERT_EQ(::chmod(Dir().constData(), 0755), 0);
        ASSERT_EQ(::chown(Dir().constData(), ::geteuid(), ::getegid()), 0);
    }
}

// Through a link to a file whose name takes nearly all of the 255 bytes a name may have, the
// temporary file's name still fits; and it is still recognised when a save leaves it behind.
TEST_F(HeldFileTest, AFileWithALongNameIsReplacedAndItsTemporariesRecognised) {
    const QByteArray name = QByteArray(249, 'c');
    Put(name, Old);
    SymLink(name, "t.ini");
    const ino_t inode = StatOf(name).st_ino;
    EXPECT_EQ(KilledAt(
                  TFileStep::Replacing, [] {}, [this] { return Set("ADV", "1", "11"); }),
              3);
    QByteArrayList left = Listing();
    left.removeAll(name);
    left.removeAll("t.ini");
    ASSERT_EQ(left.size(), 1);
    EXPECT_TRUE(left[0].startsWith(name.left(233) + ".varnotel-") && left[0].size() == 255);
    EXPECT_TRUE(Set("ADV", "1", "10"));
    EXPECT_EQ(Take(name), New);
    EXPECT_NE(StatOf(name).st_ino, inode);
    EXPECT_TRUE(Flush());
    EXPECT_EQ(Listing(), QByteArrayList({name, "t.ini"}));
}

// With no free inode or no free block for a new file, the file is written in place where the
// new content fits; content that does not fit, and a new file, fail and leave nothing behind.
TEST_F(HeldFileTest, OnAFullDiskTheFileIsWrittenInPlaceWhereItFits) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to mount a small file system";
    // Files of one block each, until inodes or blocks run out, whichever comes first.
    const std::pair<const char*, const char*> disks[] = {{"no free inode", "nr_inodes=4,size=64k"},
                                                         {"no free block", "size=64k"}};
    for (const auto& disk : disks) {
        SCOPED_TRACE(disk.first);
        const char* const options = disk.second;
        const auto smallDisk = [&] {
            if (::unshare(CLONE_NEWNS) != 0 ||
                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                ::mount("varnotel", Dir().constData(), "tmpfs", 0, options) != 0)
                ::_exit(97);
        };
        const int written = InChild(smallDisk, [&] {
            Put("t.ini", Old);
            const QByteArray block(4096, 'x');
            int error = 0;
            for (int i = 0; !error; ++i) {
                const int fd =
                    ::open(Dir(QByteArray::number(i)).constData(), O_CREAT | O_WRONLY, 0644);
                if (fd < 0 || ::write(fd, block.constData(), block.size()) != block.size())
                    error = errno;
                ::close(fd);
            }
            if (error != ENOSPC)
                return false;
            const QByteArrayList before = Listing();
            const ino_t inode = StatOf("t.ini").st_ino;
            return Set("ADV", "1", "10") && Take("t.ini") == New &&
                   StatOf("t.ini").st_ino == inode && !Set("ADV", "2", QString(128 * 1024, u'9')) &&
                   Take("t.ini") == New && !Set("ADV", "1", "10", "new.ini") && Flush() &&
                   Listing() == before;
        });
        if (written == 97)
            GTEST_SKIP() << "cannot mount a file system here";
        EXPECT_EQ(written, 1);
    }
}

} // namespace
