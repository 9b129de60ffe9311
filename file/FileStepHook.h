#pragma once

// For tests only: what runs at each step of a file's read or write. The editor never sets it;
// scripts/check-layers.sh keeps this header out of every folder but tests/.

#include "file/FileStep.h"

#include <functional>

using TFileStepHook = std::function<void(TFileStep step, int folder)>;

// Sets the function called at each step (none by default); returns the previous one.
TFileStepHook SetFileStepHook(TFileStepHook hook);
