#pragma once

#include "file/WriteFailure.h"

#include <QString>
#include <cstdint>
#include <stdexcept>

// Raised when the curve file cannot be written. Its message is the one the user sees; its
// reason tells which step of the write stopped it and the system's error number.
class EIniFileException : public std::runtime_error {
public:
    EIniFileException(const QString& message, const TWriteFailure& reason);

    const QString& Message() const { return FMessage; }
    const TWriteFailure& Reason() const { return FReason; }

private:
    QString FMessage;
    TWriteFailure FReason;
};

// Access to one INI file through the private-profile functions, kept for one button click.
// Every call goes to the file; nothing is cached.
class TIniFile {
public:
    // Only stores the name: no file is touched until the first read or write.
    explicit TIniFile(const QString& FileName);
    // Asks for the file to be flushed; its outcome is ignored.
    ~TIniFile();

    TIniFile(const TIniFile&) = delete;
    TIniFile& operator=(const TIniFile&) = delete;

    const QString& FileName() const { return FFileName; }

    // The key's text as an integer, "0x" and "0X" taken as "$"; Default when the key is
    // missing or its text does not convert.
    std::int32_t ReadInteger(const QString& Section, const QString& Ident,
                             std::int32_t Default) const;
    // At most 2047 characters of the key's text, or Default.
    QString ReadString(const QString& Section, const QString& Ident, const QString& Default) const;

    void WriteInteger(const QString& Section, const QString& Ident, std::int32_t Value);
    // Raises EIniFileException, with the reason the file gave, when the file refuses the write.
    void WriteString(const QString& Section, const QString& Ident, const QString& Value);

    bool UpdateFile();

private:
    QString FFileName;
};
