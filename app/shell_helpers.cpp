#include "app/shell_helpers.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstddef>
#include <cwchar>

#include "app/state.h"

void LaunchTarget(const wchar_t* target) {
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  ShellExecuteW(nullptr, nullptr, target, nullptr, nullptr, SW_SHOW);
  if (SUCCEEDED(com)) CoUninitialize();
}

int IsShortcutName(const wchar_t* name) {
  if (!name || std::wcslen(name) <= 3) return 0;
  if (std::wcsstr(name, L".LNK")) return 1;
  return std::wcsstr(name, L".lnk") ? 1 : 0;
}

void StripShortcutExtension(wchar_t* name) {
  if (!name) return;
  size_t length = std::wcslen(name);
  if (length <= 3) return;
  name[length - 4] = L'\0';
}

HICON GetLargeIconForPath(const wchar_t* path) {
  SHFILEINFOW info = {};
  auto list = reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(path, 0, &info, sizeof(info), SHGFI_SYSICONINDEX));
  if (!list) return nullptr;
  return ImageList_GetIcon(list, info.iIcon, ILD_NORMAL);
}

HBITMAP MakeMenuIconBitmap(const wchar_t* path) {
  SHFILEINFOW info = {};
  auto smallIcons = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoW(path, 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  HDC windowDc = GetDC(g_mainWnd);
  HDC memoryDc = CreateCompatibleDC(windowDc);
  // Compatible with the window, not the memory DC, so the bitmap has the screen's colours.
  HBITMAP bitmap = CreateCompatibleBitmap(windowDc, 16, 16);
  HGDIOBJ oldBitmap = SelectObject(memoryDc, bitmap);
  HGDIOBJ oldPen = SelectObject(memoryDc, g_menuPen);
  HGDIOBJ oldBrush = SelectObject(memoryDc, g_menuBrush);
  Rectangle(memoryDc, 0, 0, 16, 16);
  if (smallIcons) ImageList_Draw(smallIcons, info.iIcon, memoryDc, 0, 0, ILD_TRANSPARENT);
  SelectObject(memoryDc, oldBrush);
  SelectObject(memoryDc, oldPen);
  SelectObject(memoryDc, oldBitmap);
  ReleaseDC(g_mainWnd, windowDc);
  DeleteDC(memoryDc);
  return bitmap;
}

HFONT CreateUiFont(int kind) {
  // The size without iPaddedBorderWidth is accepted by every Windows version.
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0);
  switch (kind) {
    case UI_FONT_CAPTION:
      return CreateFontIndirectW(&metrics.lfCaptionFont);
    case UI_FONT_STATUS:
      return CreateFontIndirectW(&metrics.lfStatusFont);
    case UI_FONT_MESSAGE:
      return CreateFontIndirectW(&metrics.lfMessageFont);
    default:
      return CreateFontIndirectW(&metrics.lfMenuFont);
  }
}

void ApplyUiFont(HWND control) {
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(CreateUiFont(UI_FONT_MENU)), TRUE);
}
