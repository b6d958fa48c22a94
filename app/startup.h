// Start-up of one run: closes an open popup, or shows a new one and runs it to its end.
#pragma once

#include <windows.h>

// The whole run; returns the process exit code.
int RunKestrelon(HINSTANCE instance);

// Everything a run does before its message loop: closes an open popup and gives false, or
// shows a new one with its link column, account picture and pinned items loader started and
// gives true (false too when the window class cannot be registered).
bool OpenPopup(HINSTANCE instance);

// How long a second start waits for the open popup to close.
constexpr UINT CLOSE_POPUP_TIMEOUT_MS = 3000;

// When a popup is already open, asks it to close and waits until it has, or at most
// CLOSE_POPUP_TIMEOUT_MS; true if one was open.
bool CloseOpenPopup();

// Reads "homedrive" and "homepath" into g_homeDrive and g_homePath; a value that does not fit
// leaves its buffer empty rather than truncated, and sets g_homeTooLong.
void ReadHomeFolders();

// Fills g_trayRect from the taskbar, warning the user when it cannot be found.
void FindTaskbar();

int RunMessageLoop();
