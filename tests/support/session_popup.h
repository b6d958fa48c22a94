// The real popup, made by the program's own start-up code inside the test program, so that a
// test can click it, read its menus and watch the calls its handlers make.
#pragma once

#include <windows.h>

namespace kt {

// Creates the popup above the taskbar (sets g_mainWnd) and brings it to the foreground;
// null if it could not be made. Ends with EndPopupInThisProcess.
HWND ShowPopupInThisProcess();
void EndPopupInThisProcess();

}  // namespace kt
