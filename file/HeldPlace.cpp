#include "file/HeldPlace.h"

#include "file/FileStep.h"

#include <QByteArrayList>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <deque>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr int MaxLinks = 40;
constexpr int LocateFlags = O_PATH | O_NOFOLLOW | O_CLOEXEC;
constexpr int FolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

// The names of a path, in order; empty names (from "//" or a trailing "/") are dropped.
void PrependComponents(const QByteArray& path, std::deque<QByteArray>& names) {
    const QList<QByteArray> parts = path.split('/');
    for (auto part = parts.crbegin(); part != parts.crend(); ++part)
        if (!part->isEmpty())
            names.push_front(*part);
}

// The kernel's protected symlinks rule: in a sticky folder that anyone may write, a link is
// followed only by its owner, or when the folder's owner made it, since anyone else there could
// have planted it to point at a file of ours.
bool MayFollow(int folder, const struct stat& link) {
    if (link.st_uid == ::geteuid())
        return true;
    struct stat holder {};
    if (::fstat(folder, &holder) != 0)
        return false;
    const mode_t shared = S_ISVTX | S_IWOTH;
    return (holder.st_mode & shared) != shared || holder.st_uid == link.st_uid;
}

TOrError<QByteArray> LinkTarget(int link, qint64 size) {
    // Some file systems give links no size; the kernel's longest path fits any of them.
    const qint64 room = size > 0 ? std::min<qint64>(size, PATH_MAX) : PATH_MAX;
    QByteArray target(static_cast<qsizetype>(room + 1), '\0');
    const ssize_t length = ::readlinkat(link, "", target.data(), target.size());
    if (length < 0)
        return TSystemError{errno};
    // The kernel follows an empty link nowhere.
    if (length == 0 || length >= target.size())
        return TSystemError{length == 0 ? ENOENT : ENAMETOOLONG};
    target.truncate(length);
    return target;
}

// A name on its way to being held: the folder reached so far and the names still to walk from
// it. Each step returns 0 to go on, or the error that ends the walk.
struct TWalk {
    TFileDescriptor Folder;
    std::deque<QByteArray> Names;
    int Links = 0;
    // The last name is reached and is not a link: Names holds it alone.
    bool Held = false;

    int Enter(int at, const char* name) {
        TFileDescriptor next = OpenAt(at, name, FolderFlags);
        if (!next.IsOpen())
            return errno;
        Folder = std::move(next);
        return 0;
    }
    int Hold(const QByteArray& name) {
        Names.push_front(name);
        Held = true;
        return 0;
    }
    int Step();
    int Follow(const TFileDescriptor& link, const struct stat& status, bool last);
};

int TWalk::Step() {
    if (Names.empty())
        return EISDIR;
    const QByteArray name = Names.front();
    Names.pop_front();
    const bool last = Names.empty();
    if (name == "." || name == "..") {
        // A name that ends in "." or ".." names a folder, never a file.
        if (last)
            return EISDIR;
        return name == ".." ? Enter(Folder.Get(), "..") : 0;
    }
    TFileDescriptor entry = OpenAt(Folder.Get(), name.constData(), LocateFlags);
    if (!entry.IsOpen()) {
        if (errno != ENOENT || !last)
            return errno;
        return Hold(name); // the file is not there yet: it will be made under this name
    }
    struct stat status {};
    if (::fstat(entry.Get(), &status) != 0)
        return errno;
    if (S_ISLNK(status.st_mode))
        return Follow(entry, status, last);
    if (last)
        return Hold(name);
    if (!S_ISDIR(status.st_mode))
        return ENOTDIR;
    Folder = std::move(entry);
    return 0;
}

int TWalk::Follow(const TFileDescriptor& link, const struct stat& status, bool last) {
    if (++Links > MaxLinks)
        return ELOOP;
    if (!MayFollow(Folder.Get(), status))
        return EACCES;
    const TOrError<QByteArray> target = LinkTarget(link.Get(), status.st_size);
    if (!target)
        return target.Error();
    // A link that ends in "/" leads to a folder; only the file's own name cannot.
    if (last && target->endsWith('/'))
        return EISDIR;
    PrependComponents(*target, Names);
    if (target->startsWith('/'))
        if (const int error = Enter(AT_FDCWD, "/"))
            return error;
    return Names.empty() ? EISDIR : 0; // a link to "/"
}

} // namespace

TOrError<THeldPlace> HoldPlace(const QString& fileName) {
    const QByteArray path = QFile::encodeName(fileName);
    if (path.isEmpty() || path.contains('\0'))
        return TSystemError{EINVAL};
    if (path.endsWith('/'))
        return TSystemError{EISDIR};
    TWalk walk;
    int error = walk.Enter(AT_FDCWD, path.startsWith('/') ? "/" : ".");
    PrependComponents(path, walk.Names);
    while (error == 0 && !walk.Held)
        error = walk.Step();
    if (error != 0)
        return TSystemError{error};
    THeldPlace place{std::move(walk.Folder), walk.Names.front()};
    ReachFileStep(TFileStep::PlaceHeld, place.Folder.Get());
    return place;
}

TFileDescriptor OpenFolder(const THeldPlace& place) {
    return OpenAt(place.Folder.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}
