// Any bytes as the curve file: every key that Load reads, and the names the file itself uses,
// read without a crash, a hang or a leak, each as at most one line of at most the buffer's
// length.

#include "file/PrivateProfile.h"
#include "fuzz/FuzzTarget.h"
#include "fuzz/ProfileFuzzing.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

using fuzzing::Check;

const fuzzing::TScratchFolder& Folder() {
    static const fuzzing::TScratchFolder folder;
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzzing::TCpuBudget budget;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    Folder().Put(bytes);
    const QString path = Folder().FilePath();

    const fuzzing::TNames names = fuzzing::NamesIn(bytes, 4);
    const QStringList sections = QStringList{"ADV", "RPM"} + names.Sections;
    const QStringList keys = fuzzing::CurveKeys() + names.Keys;
    const QString missing = QStringLiteral("<missing>");
    for (const QString& section : sections) {
        for (const QString& key : keys) {
            const QString value =
                GetPrivateProfileString(section, key, missing, fuzzing::ReadBufferSize, path);
            Check(value.size() < fuzzing::ReadBufferSize);
            Check(!value.contains(u'\n'));
        }
    }

    // A smaller buffer gets the start of the same text.
    for (const QString& key : names.Keys) {
        const QString section = sections.back();
        const QString whole = GetPrivateProfileString(section, key, missing, 4096, path);
        Check(GetPrivateProfileString(section, key, missing, 3, path) == whole.left(2));
        Check(GetPrivateProfileString(section, key, missing, 1, path).isEmpty());
    }
    return 0;
}
