#include "editor/IniFiles.h"

#include "core/IntegerText.h"
#include "file/PrivateProfile.h"

namespace {

// The text room the platform read is given, the terminating NUL included.
constexpr int ReadBufferSize = 2048;

} // namespace

EIniFileException::EIniFileException(const QString& message, const TWriteFailure& reason)
    : std::runtime_error(message.toStdString()), FMessage(message), FReason(reason) {}

TIniFile::TIniFile(const QString& FileName) : FFileName(FileName) {}

TIniFile::~TIniFile() {
    try {
        UpdateFile();
    } catch (...) {
        // A destructor must not throw, and the flush's outcome is ignored anyway.
    }
}

std::int32_t TIniFile::ReadInteger(const QString& Section, const QString& Ident,
                                   std::int32_t Default) const {
    QString text = ReadString(Section, Ident, QString());
    if (text.size() > 2 && text.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive))
        text.replace(0, 2, QStringLiteral("$"));
    return StrToIntDef(text, Default);
}

QString TIniFile::ReadString(const QString& Section, const QString& Ident,
                             const QString& Default) const {
    return GetPrivateProfileString(Section, Ident, Default, ReadBufferSize, FFileName);
}

void TIniFile::WriteInteger(const QString& Section, const QString& Ident, std::int32_t Value) {
    WriteString(Section, Ident, IntToStr(Value));
}

void TIniFile::WriteString(const QString& Section, const QString& Ident, const QString& Value) {
    const TWriteResult written = WritePrivateProfileString(&Section, &Ident, &Value, FFileName);
    if (!written)
        throw EIniFileException(QStringLiteral("Impossible d'écrire dans ") + FFileName,
                                written.Failure());
}

bool TIniFile::UpdateFile() {
    return bool(WritePrivateProfileString(nullptr, nullptr, nullptr, FFileName));
}
