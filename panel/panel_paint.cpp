#include "panel/panel_paint.h"

#include <objbase.h>

#include <cwchar>
#include <string>

#include "app/state.h"
#include "panel/link_column.h"

HBITMAP g_userPicture;

namespace {

constexpr int PICTURE_PATH_CHARS = 1024;

// Where Windows 7 kept account pictures; under Wine the picture is looked for here instead.
constexpr wchar_t ACCOUNT_PICTURES_DIR[] = L"C:\\ProgramData\\Microsoft\\User Account Pictures\\";

// shell32's export under ordinal 261: (user name or null, flags, path buffer, its capacity).
using UserPicturePathFunction = HRESULT(WINAPI*)(LPCWSTR, DWORD, LPWSTR, UINT);

bool IsRunningOnWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

std::wstring PathFromShell() {
  // shell32 is delay-loaded, so it may not be in the process yet; this reference lasts the run.
  HMODULE shell32 = LoadLibraryW(L"shell32.dll");
  if (!shell32) return std::wstring();
  // Through the generic function type, which any function pointer may be cast to and from.
  auto exported = reinterpret_cast<void (*)()>(GetProcAddress(shell32, MAKEINTRESOURCEA(261)));
  auto userPicturePath = reinterpret_cast<UserPicturePathFunction>(exported);
  if (!userPicturePath) return std::wstring();
  wchar_t path[PICTURE_PATH_CHARS] = {};
  HRESULT com = CoInitialize(nullptr);
  userPicturePath(nullptr, 0, path, PICTURE_PATH_CHARS);
  if (SUCCEEDED(com)) CoUninitialize();
  // A buffer filled to its end holds no whole path: a cut one would name some other file.
  if (!std::wmemchr(path, L'\0', PICTURE_PATH_CHARS)) return std::wstring();
  return path;
}

std::wstring StandInPath() {
  if (!g_userName[0]) return std::wstring();
  std::wstring path = std::wstring(ACCOUNT_PICTURES_DIR) + g_userName + L".bmp";
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES ? path : std::wstring();
}

std::wstring UserPicturePath() {
  // Wine's export under that ordinal is a stub that aborts the process when called.
  return IsRunningOnWine() ? StandInPath() : PathFromShell();
}

void DrawPanelFrame(HDC dc) {
  // White under every colour scheme: the stock brush, not the context's current one.
  SelectObject(dc, GetStockObject(WHITE_BRUSH));
  SelectObject(dc, g_menuPen);
  RoundRect(dc, PANEL_FRAME.left, PANEL_FRAME.top, PANEL_FRAME.right, PANEL_FRAME.bottom, 4, 4);
  SelectObject(dc, g_lightPen);
  MoveToEx(dc, 14, 393, nullptr);
  LineTo(dc, 244, 393);
}

// Without a picture the border encloses the frame's own fill.
void DrawUserPicture(HDC dc) {
  SelectObject(dc, g_lightPen);
  SelectObject(dc, GetSysColorBrush(COLOR_GRADIENTACTIVECAPTION));
  RoundRect(dc, 300, 8, 356, 64, 4, 4);
  SelectObject(dc, g_pictureFramePen);
  SelectObject(dc, g_nullBrush);
  Rectangle(dc, 303, 11, 353, 61);
  if (!g_userPicture) return;

  HDC pictureDc = CreateCompatibleDC(dc);  // deleted below, before the paint ends
  HGDIOBJ oldBitmap = SelectObject(pictureDc, g_userPicture);
  BitBlt(dc, USER_PICTURE_X, USER_PICTURE_Y, USER_PICTURE_SIZE, USER_PICTURE_SIZE, pictureDc, 0, 0, SRCCOPY);
  SelectObject(pictureDc, oldBitmap);
  DeleteDC(pictureDc);
}

}  // namespace

void LoadUserPicture() {
  std::wstring path = UserPicturePath();
  if (path.empty()) return;
  // Scaled to 48 x 48 while it is read; kept for the whole run and freed with the process.
  // A file is named without a module, as LoadImageW documents for stand-alone images.
  g_userPicture = static_cast<HBITMAP>(
      LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, USER_PICTURE_SIZE, USER_PICTURE_SIZE, LR_LOADFROMFILE));
}

void PaintPanel(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  // The shared pens, brushes and the caption font are selected out again before EndPaint.
  int savedState = SaveDC(dc);
  DrawPanelFrame(dc);
  DrawUserPicture(dc);
  PaintLinkHighlight(dc);
  PaintLinkLabels(dc);
  RestoreDC(dc, savedState);
  EndPaint(window, &paint);
}
