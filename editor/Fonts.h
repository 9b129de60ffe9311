#pragma once

#include <QString>
#include <thread>

// The window's controls use Tahoma. When the system has no Tahoma installed, the face that
// Debian's fonts-wine ships (outside fontconfig's paths) is registered with the application.
// Call once after the application object exists.
void RegisterTahoma();

// The family name to ask for: "Tahoma" (installed or registered).
QString TahomaFamily();

// Reads the system's font configuration (fontconfig's configuration files and font caches, the
// configuration Qt would otherwise read at the first use of a font) on a thread of its own, so
// that the reading overlaps the application's start: its connection to the display and its
// plugins. Wait() returns once it is read; call it before anything asks for a font.
class TFontConfigurationLoad {
public:
    TFontConfigurationLoad();
    void Wait();

private:
    std::jthread FThread;
};
