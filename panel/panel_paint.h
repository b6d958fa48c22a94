// The painted surface of the popup: panel frame, separator and the framed account picture.
#pragma once

#include <windows.h>

extern HBITMAP g_userPicture;  // 48 x 48, loaded once at start-up; null when there is none

void LoadUserPicture();
void PaintPanel(HWND window);
