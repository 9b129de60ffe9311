// Any bytes as an existing curve file, and one write of any section, key and value to it.
// A write that succeeds reads back as written, and every other key reads as it did before; a
// write that fails leaves the file byte for byte as it was. No write leaves a second file beside
// the curve file.
//
// The input: a first byte that says how the file stands and which arguments are given, then
// the section, the key and the value, each ended by a backslash and one more character (two
// backslashes stand for one), then the file's bytes.
//
//   first byte, bits 0-1   0, 1: the file holds the bytes; 2: there is no file;
//                          3: the file holds the bytes and nobody may write it
//   first byte, bits 2-3   0, 1: a write; 2: a flush request (no section, no key, no value);
//                          3: a write with one argument missing (bits 4-5 say which)

#include "file/PrivateProfile.h"
#include "fuzz/FuzzTarget.h"
#include "fuzz/ProfileFuzzing.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using fuzzing::Check;

using fuzzing::SameName;

const fuzzing::TScratchFolder& Folder() {
    static const fuzzing::TScratchFolder folder;
    return folder;
}

// The file's bytes, or nothing when there is no file.
std::optional<QByteArray> Content(const QString& path) {
    QFile file(path);
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly))
        std::abort();
    return file.readAll();
}

// Names and values reach the profile functions as valid Unicode text, as from the editor.
QString Text(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

struct TRead {
    QString Section;
    QString Key;
    QString Value;
};

// Every key of the curve in both sections, the key written in every section, and every name
// the file uses.
std::vector<TRead> ReadAll(const QByteArray& bytes, const QString& section, const QString& key,
                           const QString& path) {
    const fuzzing::TNames names = fuzzing::NamesIn(bytes, 4);
    const QStringList sections = QStringList{"ADV", "RPM", section} + names.Sections;
    const QStringList keys = fuzzing::CurveKeys() + QStringList{key} + names.Keys;
    std::vector<TRead> reads;
    for (const QString& s : sections)
        for (const QString& k : keys)
            reads.push_back(
                {s, k, GetPrivateProfileString(s, k, "<missing>", fuzzing::ReadBufferSize, path)});
    return reads;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzzing::TCpuBudget budget;
    if (size == 0)
        return -1;
    const std::uint8_t mode = data[0];
    FuzzedDataProvider input(data + 1, size - 1);
    const QString section = Text(input.ConsumeRandomLengthString());
    const QString key = Text(input.ConsumeRandomLengthString());
    const QString value = Text(input.ConsumeRandomLengthString());
    const std::vector<std::uint8_t> rest = input.ConsumeRemainingBytes<std::uint8_t>();
    const QByteArray bytes(reinterpret_cast<const char*>(rest.data()),
                           static_cast<qsizetype>(rest.size()));

    const int fileState = mode & 3;
    const int call = mode >> 2 & 3;
    const QString path = Folder().FilePath();
    if (fileState == 2)
        Folder().Clear();
    else
        Folder().Put(bytes, fileState == 3 ? 0444 : 0644);

    const std::optional<QByteArray> before = Content(path);
    const std::vector<TRead> reads = ReadAll(bytes, section, key, path);

    std::array<const QString*, 3> arguments{&section, &key, &value};
    if (call == 2)
        arguments.fill(nullptr);
    else if (call == 3)
        arguments[(mode >> 4 & 3) % 3] = nullptr;
    const TWriteResult result =
        WritePrivateProfileString(arguments[0], arguments[1], arguments[2], path);
    const bool written = bool(result);
    Check(written || result.Failure().Error != 0, "a failed write gave no error number");

    const QStringList entries = Folder().Entries();
    Check(entries.isEmpty() || entries == QStringList{QFileInfo(path).fileName()},
          "a file beside the curve file was left behind");
    const std::optional<QByteArray> after = Content(path);
    if (call >= 2 || !written) {
        Check(call == 2 || !written, "a write with an argument missing succeeded");
        Check(after == before, "a failed write or a flush changed the file");
        return 0;
    }
    Check(fileState != 3, "a file nobody may write was written");

    const QString readBack =
        GetPrivateProfileString(section, key, "<missing>", fuzzing::ReadBufferSize, path);
    if (readBack != fuzzing::ReadBack(value))
        qWarning() << "wrote" << value << "and read" << readBack;
    Check(readBack == fuzzing::ReadBack(value), "the key written does not read back as written");
    for (const TRead& read : reads) {
        if (SameName(read.Section, section) && SameName(read.Key, key))
            continue;
        const QString now = GetPrivateProfileString(read.Section, read.Key, "<missing>",
                                                    fuzzing::ReadBufferSize, path);
        if (now != read.Value)
            qWarning() << "section" << read.Section << "key" << read.Key << "read" << read.Value
                       << "before the write and" << now << "after it";
        Check(now == read.Value, "another key reads differently after the write");
    }
    return 0;
}
