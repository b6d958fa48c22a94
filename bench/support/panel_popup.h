// An in-process popup with its painted panel and link column, made the way start-up makes it.
#pragma once

#include <windows.h>

#include <string>

namespace kt {

// Makes the popup (instance, link art, taskbar, class, window, account name, link slots,
// account picture), shows it in front and paints it. Null on failure.
HWND ShowPanelPopup(const std::wstring& accountName);

// Popup client coordinates to screen coordinates.
POINT PopupToScreen(int x, int y);

}  // namespace kt
