#pragma once

#include <QObject>
#include <Qt>

#include <functional>

class QEvent;

// How a control that holds the mouse from a press to its release learns that the release will
// never reach it, so that it can end the hold as a release elsewhere would.

// A modal window takes the input, the window loses activation, another grab takes the pointer,
// or the control is hidden or its enabled state changes.
bool LosesMouse(const QEvent& event);

// While armed, tells its holder of each real button release that another widget gets: a popup
// or another grab took the pointer, if only for a moment. It watches the whole application, and
// only while armed, from the press to the end of the hold.
class TReleaseWatch : public QObject {
public:
    TReleaseWatch(QObject* holder, std::function<void(Qt::MouseButton)> onRelease);
    void SetArmed(bool armed);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QObject* FHolder;
    std::function<void(Qt::MouseButton)> FOnRelease;
    bool FArmed = false;
};
