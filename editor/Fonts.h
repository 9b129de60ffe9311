#pragma once

#include <QString>

// The window's controls use Tahoma. When the system has no Tahoma installed, the face that
// Debian's fonts-wine ships (outside fontconfig's paths) is registered with the application.
// Call once after the application object exists.
void RegisterTahoma();

// The family name to ask for: "Tahoma" (installed or registered).
QString TahomaFamily();
