#pragma once

class QEvent;
class QObject;

// How a control that holds the mouse from a press to its release learns that the release will
// never reach it, so that it can end the hold as a release elsewhere would.

// A modal window takes the input, the window loses activation, another grab takes the pointer,
// or the control is hidden or its enabled state changes.
bool LosesMouse(const QEvent& event);

// A real button release that another widget gets while holder holds the mouse: a popup or
// another grab took the pointer, if only for a moment. For an application-wide event filter.
bool IsReleaseElsewhere(const QObject& holder, const QObject& watched, const QEvent& event);
