#include "support/session_popup.h"

#include "app/main_window.h"
#include "app/state.h"
#include "support/wine_test.h"

namespace kt {

HWND ShowPopupInThisProcess() {
  g_hInstance = GetModuleHandleW(nullptr);
  // The taskbar places the popup; without it the program would stop on a message box.
  if (!GetWindowRect(FindWindowW(L"Shell_TrayWnd", L""), &g_trayRect)) return nullptr;
  RegisterMainClass();  // fails harmlessly when an earlier popup of this process registered it
  CreateMainWindow();
  if (!g_mainWnd) return nullptr;
  UpdateWindow(g_mainWnd);
  ActivateWindow(g_mainWnd, 5000);
  return g_mainWnd;
}

void EndPopupInThisProcess() {
  if (g_mainWnd) DestroyWindow(g_mainWnd);
  g_mainWnd = nullptr;
}

}  // namespace kt
