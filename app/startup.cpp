#include "app/startup.h"

#include <commctrl.h>

#include "app/ids.h"
#include "app/main_window.h"
#include "app/state.h"
#include "panel/link_column.h"
#include "panel/panel_paint.h"
#include "pinned/pinned_items.h"

namespace {

// False when the value does not fit: the call then returns the size it needs and leaves the
// buffer undefined, so it is emptied.
bool ReadEnvironmentValue(const wchar_t* name, wchar_t* buffer) {
  DWORD length = GetEnvironmentVariableW(name, buffer, ENV_BUFFER_CHARS);
  if (length < ENV_BUFFER_CHARS) return true;
  buffer[0] = L'\0';
  return false;
}

void ReadUserName() {
  DWORD size = ENV_BUFFER_CHARS;
  if (!GetUserNameW(g_userName, &size)) g_userName[0] = L'\0';
}

}  // namespace

bool CloseOpenPopup() {
  HWND open = FindWindowW(MAIN_CLASS_NAME, nullptr);
  if (!open) return false;
  // Bounded: a hung popup must not hang this start and every later one. Either way this run
  // shows nothing.
  SendMessageTimeoutW(open, UM_CLOSEMENU, 0, 0, SMTO_ABORTIFHUNG, CLOSE_POPUP_TIMEOUT_MS, nullptr);
  return true;
}

void ReadHomeFolders() {
  bool driveWhole = ReadEnvironmentValue(L"homedrive", g_homeDrive);
  bool pathWhole = ReadEnvironmentValue(L"homepath", g_homePath);
  g_homeTooLong = !driveWhole || !pathWhole;
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

bool OpenPopup(HINSTANCE instance) {
  if (CloseOpenPopup()) return false;

  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_COOL_CLASSES};
  InitCommonControlsEx(&controls);
  g_hInstance = instance;
  g_linkBackBitmap = LoadBitmapW(instance, L"IDB_LINKBUTTONBACK");
  ReadHomeFolders();
  if (!RegisterMainClass()) return false;
  FindTaskbar();
  CreateMainWindow();
  ReadUserName();

  InitLinkSlots();
  LoadUserPicture();
  StartPinnedItemsLoader();
  return true;
}

int RunKestrelon(HINSTANCE instance) { return OpenPopup(instance) ? RunMessageLoop() : 0; }
