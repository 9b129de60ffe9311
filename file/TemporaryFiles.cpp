#include "file/TemporaryFiles.h"

#include "file/RegularFile.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr char TemporaryTag[] = ".varnotel-";
constexpr int InodeLetterCount = 6;
constexpr int TemporaryLetters = 2 * InodeLetterCount;
constexpr qsizetype MaxNameBytes = 255;
constexpr char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr int LetterCount = int(sizeof Letters) - 1;

QByteArray TemporaryPrefix(const QByteArray& name) {
    const qsizetype room = MaxNameBytes - qsizetype(sizeof TemporaryTag - 1) - TemporaryLetters;
    return name.left(room) + TemporaryTag;
}

QByteArray InodeLetters(ino_t inode) {
    QByteArray letters;
    auto rest = static_cast<std::uint64_t>(inode);
    for (int i = 0; i < InodeLetterCount; ++i, rest /= LetterCount)
        letters += Letters[rest % LetterCount];
    return letters;
}

bool IsTemporaryName(const char* entry, const QByteArray& prefix) {
    const size_t length = std::strlen(entry);
    if (length != size_t(prefix.size()) + TemporaryLetters ||
        std::memcmp(entry, prefix.constData(), size_t(prefix.size())) != 0)
        return false;
    return std::all_of(entry + prefix.size(), entry + length, [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    });
}

} // namespace

QByteArray TemporaryName(const QByteArray& target, ino_t inode, ino_t replaced) {
    return TemporaryPrefix(target) + InodeLetters(inode) + InodeLetters(replaced);
}

QByteArray RandomTemporaryName(const QByteArray& target) {
    QByteArray name = TemporaryPrefix(target);
    for (int i = 0; i < TemporaryLetters; ++i)
        name += Letters[QRandomGenerator::system()->bounded(LetterCount)];
    return name;
}

// A file of a temporary name is what a killed write left when it is ours (we own it), has no
// other name, no write in progress holds it, and its name spells its own inode: killed before
// the swap, it is a new version never put in place; just after it, the old version replaced.
void RemoveStaleTemporaries(int folder, const QByteArray& name) {
    const int listed = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    DIR* entries = listed < 0 ? nullptr : ::fdopendir(listed);
    if (!entries) {
        if (listed >= 0)
            ::close(listed);
        return;
    }
    ::rewinddir(entries);
    const QByteArray prefix = TemporaryPrefix(name);
    while (const dirent* entry = ::readdir(entries)) {
        if (!IsTemporaryName(entry->d_name, prefix) ||
            (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN))
            continue;
        const QByteArray found(entry->d_name);
        TOpenResult stale = OpenRegularFileAt(folder, found, O_RDONLY);
        TOpenedFile* file = stale.File();
        if (!file)
            continue;
        const QByteArray letters = found.mid(prefix.size());
        const QByteArray own = InodeLetters(file->Status.st_ino);
        const bool killed =
            letters.left(InodeLetterCount) == own || letters.mid(InodeLetterCount) == own;
        if (killed && file->Status.st_uid == ::geteuid() && file->Status.st_nlink == 1 &&
            file->Lock.Try(file->File.Get(), false) == TFileLock::TTry::Taken &&
            NameHolds(folder, found.constData(), file->Status))
            ::unlinkat(folder, found.constData(), 0);
    }
    ::closedir(entries);
}
