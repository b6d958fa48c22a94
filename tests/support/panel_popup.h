// An in-process popup with its painted panel and link column, and ways to look at its pixels.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kt {

// Makes the popup the way start-up does (instance, link art, taskbar, class, window, account
// name, link slots, account picture), shows it in front and paints it. Null on failure.
HWND ShowPanelPopup(const std::wstring& accountName);

// Popup client coordinates to screen coordinates.
POINT PopupToScreen(int x, int y);
COLORREF PopupPixel(int x, int y);
// The colour as painted into the popup's window, read at once (the screen may lag behind).
COLORREF WindowPixel(int x, int y);
// Waits until the popup shows the colour at the point (the screen catches up with a paint
// a little later); true if it did.
bool WaitForPopupPixel(int x, int y, COLORREF colour, DWORD timeoutMs = 2000);

// The popup's client area as seen on the screen, read in one go.
struct PopupSnapshot {
  int width = 0, height = 0;
  std::vector<COLORREF> pixels;
  COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  // Number of pixels of the colour in the rectangle (left, top inside; right, bottom outside).
  int Count(const RECT& area, COLORREF colour) const;
};
PopupSnapshot SnapshotPopup();

// Moves the real cursor onto a popup point (client coordinates) and lets the popup react.
void HoverPopup(int x, int y);

// Writes a 24-bit bottom-up BMP whose four quadrants have the given colours (top-left,
// top-right, bottom-left, bottom-right).
void WriteQuadrantBitmap(const std::wstring& path, int width, int height, const COLORREF quadrants[4]);

// The folder where the account picture stands in under Wine, created if needed.
std::wstring AccountPicturesDir();

// True under Wine (ntdll exports wine_get_version).
bool OnWine();

}  // namespace kt
