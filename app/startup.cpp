#include "app/startup.h"

#include <commctrl.h>

#include "app/ids.h"
#include "app/main_window.h"
#include "app/state.h"
#include "panel/link_column.h"
#include "panel/panel_paint.h"
#include "pinned/pinned_items.h"

namespace {

void ReadEnvironmentValue(const wchar_t* name, wchar_t* buffer) {
  DWORD length = GetEnvironmentVariableW(name, buffer, ENV_BUFFER_CHARS);
  // On overflow the call returns the size it needs and leaves the buffer undefined.
  if (length >= ENV_BUFFER_CHARS) buffer[0] = L'\0';
}

void ReadUserName() {
  DWORD size = ENV_BUFFER_CHARS;
  if (!GetUserNameW(g_userName, &size)) g_userName[0] = L'\0';
}

}  // namespace

bool CloseOpenPopup() {
  HWND open = FindWindowW(MAIN_CLASS_NAME, nullptr);
  if (!open) return false;
  SendMessageW(open, UM_CLOSEMENU, 0, 0);
  return true;
}

void ReadHomeFolders() {
  ReadEnvironmentValue(L"homedrive", g_homeDrive);
  ReadEnvironmentValue(L"homepath", g_homePath);
}

void FindTaskbar() {
  HWND taskbar = FindWindowW(L"Shell_TrayWnd", L"");
  if (!GetWindowRect(taskbar, &g_trayRect)) {
    g_trayRect = RECT{};
    MessageBoxW(nullptr, L"Could not GetWindowRect for Shell_TrayWnd", L"Error", MB_ICONWARNING);
  }
}

int RunMessageLoop() {
  MSG message = {};
  // GetMessageW fails (-1) only for a bad window handle, and this loop passes none.
  while (GetMessageW(&message, nullptr, 0, 0)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

int RunKestrelon(HINSTANCE instance) {
  if (CloseOpenPopup()) return 0;

  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_COOL_CLASSES};
  InitCommonControlsEx(&controls);
  g_hInstance = instance;
  g_linkBackBitmap = LoadBitmapW(instance, L"IDB_LINKBUTTONBACK");
  ReadHomeFolders();
  if (!RegisterMainClass()) return 0;
  FindTaskbar();
  CreateMainWindow();
  ReadUserName();

  InitLinkSlots();
  LoadUserPicture();
  StartPinnedItemsLoader();
  return RunMessageLoop();
}
