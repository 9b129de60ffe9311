#pragma once

#include <QString>

// Opens a web address with the user's default browser. Failure is not reported.
class IUrlOpener {
public:
    virtual ~IUrlOpener() = default;
    virtual void Open(const QString& address) = 0;
};

class QtUrlOpener : public IUrlOpener {
public:
    void Open(const QString& address) override;
};
