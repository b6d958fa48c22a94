// What a run of kestrelon.exe may leave behind: processes and dialog boxes.
#pragma once

#include <windows.h>

namespace kt {

// kestrelon.exe processes alive now, found by image name; -1 when they cannot be listed.
int KestrelonProcesses();

// Visible dialog boxes (class "#32770") of any process on the desktop now.
int VisibleDialogs();

}  // namespace kt
