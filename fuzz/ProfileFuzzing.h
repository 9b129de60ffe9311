#pragma once

// What the curve file fuzzers share: a private folder for the file under test, the names worth
// reading in a file, and the rules by which a written value reads back.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fuzzing {

// The editor reads every key into a buffer of this many characters, the last one for the
// terminating NUL.
inline constexpr int ReadBufferSize = 2048;

// A folder of its own for the curve file, named after the fuzzer's process and removed when the
// fuzzer ends. A fuzzer that ends on a finding or a hang has no time to remove it; the next one
// removes the folders of processes that are gone. The folder lives in memory where the machine
// has such a place (and TMPDIR does not name another): every successful write syncs the file and
// waits for the disk.
class TScratchFolder {
public:
    TScratchFolder() {
        const QDir base = Base();
        RemoveStale(base);
        FPath = base.filePath(Prefix() + QString::number(::getpid()));
        QDir(FPath).removeRecursively();
        if (!base.mkdir(FPath))
            std::abort();
    }
    ~TScratchFolder() { QDir(FPath).removeRecursively(); }
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;

    QString FilePath() const { return QDir(FPath).filePath(QStringLiteral("quendrix_timing.ini")); }

    // Replaces the folder's content with a file holding bytes, with the given permissions.
    void Put(const QByteArray& bytes, mode_t mode = 0644) const {
        Clear();
        const QByteArray path = QFile::encodeName(FilePath());
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0 || ::write(fd, bytes.constData(), bytes.size()) != bytes.size() ||
            ::fchmod(fd, mode) != 0 || ::close(fd) != 0)
            std::abort();
    }

    // Empties the folder.
    void Clear() const {
        for (const QString& name : Entries())
            if (!QFile::remove(QDir(FPath).filePath(name)))
                std::abort();
    }

    QStringList Entries() const {
        return QDir(FPath).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                                     QDir::System);
    }

private:
    static QString Prefix() { return QStringLiteral("varnotel-fuzz-"); }

    static QDir Base() {
        const QString memory = QStringLiteral("/dev/shm");
        return QDir(qEnvironmentVariableIsSet("TMPDIR") || !QFileInfo(memory).isWritable()
                        ? QDir::tempPath()
                        : memory);
    }

    static void RemoveStale(const QDir& base) {
        const QStringList names =
            base.entryList({Prefix() + QStringLiteral("*")}, QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString& name : names) {
            bool isNumber = false;
            const pid_t pid = name.mid(Prefix().size()).toInt(&isNumber);
            if (isNumber && pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH)
                QDir(base.filePath(name)).removeRecursively();
        }
    }

    QString FPath;
};

// The text of a file as its byte-order mark says, UTF-8 without one.
inline QString DecodeFile(const QByteArray& bytes) {
    QStringConverter::Encoding encoding = QStringConverter::Utf8;
    if (bytes.startsWith("\xFF\xFE"))
        encoding = QStringConverter::Utf16LE;
    else if (bytes.startsWith("\xFE\xFF"))
        encoding = QStringConverter::Utf16BE;
    QStringDecoder decoder(encoding);
    return decoder(bytes);
}

// Section and key names as a file spells them, blanks and letter case as they stand: the text
// inside "[...]" of a header, and the text before "=" of any other line (the whole line when it
// has none). At most limit of each, in the order of the file.
struct TNames {
    QStringList Sections;
    QStringList Keys;
};

inline TNames NamesIn(const QByteArray& bytes, qsizetype limit) {
    TNames names;
    const QString text = DecodeFile(bytes);
    qsizetype begin = 0;
    while (begin < text.size() && (names.Sections.size() < limit || names.Keys.size() < limit)) {
        qsizetype end = begin;
        while (end < text.size() && text[end] != u'\n' && text[end] != u'\r')
            ++end;
        const QString line = text.mid(begin, end - begin);
        begin = end + 1;
        const QString lead = line.trimmed();
        if (lead.startsWith(u'[')) {
            const QString name = lead.mid(1).section(u']', 0, 0);
            if (names.Sections.size() < limit && !names.Sections.contains(name))
                names.Sections.append(name);
        } else if (!lead.isEmpty() && !lead.startsWith(u';') && !lead.startsWith(u'#')) {
            const QString name = line.section(u'=', 0, 0);
            if (names.Keys.size() < limit && !names.Keys.contains(name))
                names.Keys.append(name);
        }
    }
    return names;
}

inline QStringList CurveKeys() {
    QStringList keys;
    for (int point = 1; point <= 13; ++point)
        keys.append(QString::number(point));
    return keys;
}

// The blanks that names and values lose at both ends, in the file and in the arguments, as
// Windows drops them: spaces, tabs, vertical tabs, form feeds and Ctrl-Z.
inline bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f' || c == u'\x1a';
}

inline QString WithoutBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

// Names match without regard to letter case or to blanks at their ends.
inline bool SameName(const QString& a, const QString& b) {
    return QString::compare(WithoutBlanks(a), WithoutBlanks(b), Qt::CaseInsensitive) == 0;
}

// What a read returns after value was written: the value without its blanks at both ends and
// without one pair of the same quotes (" or ') around what is left, cut to the buffer.
inline QString ReadBack(const QString& value) {
    QString text = WithoutBlanks(value);
    if (text.size() >= 2 && (text.front() == u'"' || text.front() == u'\'') &&
        text.back() == text.front())
        text = text.mid(1, text.size() - 2);
    return text.left(ReadBufferSize - 1);
}

} // namespace fuzzing
