// The one door to the shell and the few GDI helpers every subsystem shares.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Opens a target (path, folder or shortcut file, relative to the current directory) with its
// default verb. The caller ends the run afterwards.
void LaunchTarget(const wchar_t* target);
inline void LaunchTarget(const std::wstring& target) { LaunchTarget(target.c_str()); }

// 1 when the name holds ".LNK" or ".lnk" anywhere (exact case), else 0; null gives 0.
int IsShortcutName(const wchar_t* name);

// Drops the last four characters of a name longer than three, in place; null is ignored.
void StripShortcutExtension(wchar_t* name);

// A new large icon for the path from the system image list, or null. The caller destroys it.
HICON GetLargeIconForPath(const wchar_t* path);
inline HICON GetLargeIconForPath(const std::wstring& path) { return GetLargeIconForPath(path.c_str()); }

// The icons GetLargeIconForPath would give for each path, in order (null where it gives none),
// made faster: the shell lookups run on several threads, all ending before the first icon is
// taken from the image list. The caller destroys the icons.
std::vector<HICON> GetLargeIconsForPaths(const std::vector<std::wstring>& paths);

// A new 16 x 16 bitmap: the path's small icon over the menu colour. The caller deletes it,
// once the menu item that shows it is gone.
HBITMAP MakeMenuIconBitmap(const wchar_t* path);
inline HBITMAP MakeMenuIconBitmap(const std::wstring& path) { return MakeMenuIconBitmap(path.c_str()); }

// Kinds of CreateUiFont: 0 (and any unknown value) is the menu font.
constexpr int UI_FONT_MENU = 0;
constexpr int UI_FONT_CAPTION = 1;
constexpr int UI_FONT_STATUS = 2;
constexpr int UI_FONT_MESSAGE = 3;

// A new font from the system's non-client metrics. The caller deletes it.
HFONT CreateUiFont(int kind);

// Gives a child control a menu font of its own; the font is deleted with the control
// (see app/main_window.cpp, WM_DESTROY of the controls is the process end).
void ApplyUiFont(HWND control);

// The bitmaps MakeMenuIconBitmap would make for each path, in order (null where a bitmap could
// not be made), made faster: the shell lookups run on several threads, all ending before the
// drawing, and each icon is drawn once. The caller deletes the bitmaps.
std::vector<HBITMAP> MakeMenuIconBitmaps(const std::vector<std::wstring>& paths);
