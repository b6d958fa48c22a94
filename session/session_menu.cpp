// The "Shut down..." menu and the session actions it leads to. The menu only offers the
// choice: a chosen item comes back to MainWndProc as a WM_COMMAND, which calls
// RunSessionAction.
#include "session/session_menu.h"

#include <windows.h>

#include "app/ids.h"
#include "app/state.h"

namespace {

struct SessionMenuItem {
  UINT flags;
  UINT_PTR id;
  const wchar_t* text;
};

const SessionMenuItem kSessionMenu[] = {
    {MF_STRING, IDM_LOGOFF, L"Log off"}, {MF_STRING, IDM_LOCK, L"Lock"},
    {MF_SEPARATOR, 0, nullptr},          {MF_STRING, IDM_RESTART, L"Restart"},
    {MF_SEPARATOR, 0, nullptr},          {MF_STRING, IDM_SHUTDOWN, L"Shut down"},
};

// The menu's bottom-left corner sits on the bottom-right corner of the "Shut down..."
// button, so the menu opens upwards and to the right of it.
constexpr int kMenuAnchorX = 350;
constexpr int kMenuAnchorFromBottom = 20;

}  // namespace

void ShowShutdownMenu() {
  RECT popup = {};
  GetWindowRect(g_mainWnd, &popup);
  // Built anew on every click and destroyed below once tracking is over.
  HMENU menu = CreatePopupMenu();
  if (!menu) return;
  for (const SessionMenuItem& item : kSessionMenu) AppendMenuW(menu, item.flags, item.id, item.text);
  // Without TPM_RETURNCMD the chosen item is posted to g_mainWnd as WM_COMMAND; nothing here
  // needs the menu after tracking ends.
  TrackPopupMenu(menu, TPM_BOTTOMALIGN, popup.left + kMenuAnchorX, popup.bottom - kMenuAnchorFromBottom, 0,
                 g_mainWnd, nullptr);
  DestroyMenu(menu);
}

void RunSessionAction(int commandId) {
  if (commandId < IDM_RESTART || commandId > IDM_LOCK) return;
  EnableShutdownPrivilege();
  // The results are not examined: whether or not Windows carries the request out, the run ends.
  switch (commandId) {
    case IDM_LOGOFF:
      ExitWindowsEx(EWX_LOGOFF, 0);
      break;
    case IDM_LOCK:
      LockWorkStation();
      break;
    case IDM_RESTART:
      ExitWindowsEx(EWX_REBOOT, 0);
      break;
    case IDM_SHUTDOWN:
      ExitWindowsEx(EWX_POWEROFF, 0);
      break;
  }
  PostQuitMessage(0);
}

void EnableShutdownPrivilege() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  // An account without the privilege is told nothing here; its request is refused later.
  if (LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid)) {
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  }
  // The privilege stays enabled on the process; the token handle is needed no longer.
  CloseHandle(token);
}
