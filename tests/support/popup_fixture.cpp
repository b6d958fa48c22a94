#include "support/popup_fixture.h"

#include <commctrl.h>

#include "app/main_window.h"
#include "app/startup.h"
#include "app/state.h"

namespace kt {

HWND CreateTestPopup() {
  static bool registered = [] {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_COOL_CLASSES};
    InitCommonControlsEx(&controls);
    g_hInstance = GetModuleHandleW(nullptr);
    g_linkBackBitmap = LoadBitmapW(g_hInstance, L"IDB_LINKBUTTONBACK");
    FindTaskbar();
    return RegisterMainClass() != 0;
  }();
  if (!registered) return nullptr;
  CreateMainWindow();
  return g_mainWnd;
}

void DestroyTestPopup() {
  if (g_mainWnd) DestroyWindow(g_mainWnd);
  g_mainWnd = nullptr;
  g_treeWnd = nullptr;
  TakeQuitMessage();
}

bool TakeQuitMessage() {
  MSG message;
  return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

bool PumpUntilQuit(DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < timeoutMs) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return true;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return false;
}

}  // namespace kt
