// An in-process popup, made the way start-up makes it, for tests that drive it with messages.
#pragma once

#include <windows.h>

namespace kt {

// Sets up the instance, common controls, the class and the taskbar rectangle once per
// process, then creates a fresh popup with its controls (g_mainWnd, g_treeWnd).
HWND CreateTestPopup();
// Destroys the popup and drops the quit message its WM_DESTROY posts.
void DestroyTestPopup();
// Removes a pending WM_QUIT from this thread's queue; true if there was one.
bool TakeQuitMessage();
// Dispatches this thread's messages until a WM_QUIT comes (true) or the time is up.
bool PumpUntilQuit(DWORD timeoutMs);

}  // namespace kt
