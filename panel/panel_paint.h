// The painted surface of the popup: panel frame, separator and the framed account picture.
#pragma once

#include <windows.h>

// 48 x 48, loaded once at start-up and kept until the process ends; null when there is none.
extern HBITMAP g_userPicture;

// The panel's rounded frame round the tree and the "All Programs" button (client coordinates).
constexpr RECT PANEL_FRAME = {9, 8, 250, 428};

// Where the account picture stands in the popup (client coordinates).
constexpr int USER_PICTURE_X = 304;
constexpr int USER_PICTURE_Y = 12;
constexpr int USER_PICTURE_SIZE = 48;

// Reads the account picture's file into g_userPicture. Call once g_userName is known.
void LoadUserPicture();

// The WM_PAINT handler: panel, picture, then the link column.
void PaintPanel(HWND window);
