#pragma once

#include <QPoint>

// The pointer's current position on the screen, read at the time of the call (not the position
// carried by the mouse event being handled).
class IPointerQuery {
public:
    virtual ~IPointerQuery() = default;
    virtual QPoint ScreenPos() const = 0;
};

class QtPointerQuery : public IPointerQuery {
public:
    QPoint ScreenPos() const override;
};
