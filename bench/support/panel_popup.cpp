#include "support/panel_popup.h"

#include <commctrl.h>

#include "app/main_window.h"
#include "app/state.h"
#include "panel/link_column.h"
#include "panel/panel_paint.h"
#include "support/wine_test.h"

namespace kt {

HWND ShowPanelPopup(const std::wstring& accountName) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_COOL_CLASSES};
  InitCommonControlsEx(&controls);
  g_hInstance = GetModuleHandleW(nullptr);
  g_linkBackBitmap = LoadBitmapW(g_hInstance, L"IDB_LINKBUTTONBACK");
  // A new process finds the taskbar a moment after the desktop's first process.
  bool taskbar = WaitFor(
      [] {
        HWND tray = FindWindowW(L"Shell_TrayWnd", L"");
        return tray && GetWindowRect(tray, &g_trayRect) && g_trayRect.top > 0;
      },
      10000);
  if (!g_linkBackBitmap || !taskbar || !RegisterMainClass()) return nullptr;
  CreateMainWindow();
  if (!g_mainWnd) return nullptr;
  wcsncpy_s(g_userName, ENV_BUFFER_CHARS, accountName.c_str(), _TRUNCATE);
  InitLinkSlots();
  LoadUserPicture();
  ActivateWindow(g_mainWnd, 2000);
  UpdateWindow(g_mainWnd);
  PumpFor(100);
  return g_mainWnd;
}

POINT PopupToScreen(int x, int y) {
  POINT point = {x, y};
  ClientToScreen(g_mainWnd, &point);
  return point;
}

}  // namespace kt
