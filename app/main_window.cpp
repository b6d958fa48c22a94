// The popup (g_mainWnd, class "Kestrelon", MainWndProc) holds three controls: the
// "Shut down..." button, the pinned items tree (g_treeWnd) and the "All Programs" button.
// Everything else on it is painted by panel/, which also describes it to assistive technology
// (panel/accessible.h). MainWndProc only routes; each subsystem keeps its own logic.
#include "app/main_window.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "app/ids.h"
#include "app/shell_helpers.h"
#include "app/state.h"
#include "panel/accessible.h"
#include "panel/link_column.h"
#include "panel/panel_paint.h"
#include "pinned/pinned_items.h"
#include "programs/programs_menu.h"
#include "session/session_menu.h"

namespace {

HWND CreateControl(const ControlLayout& layout) {
  HWND control = CreateWindowExW(
      0, layout.className, layout.text, layout.style, layout.x, layout.y, layout.width, layout.height,
      g_mainWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)), g_hInstance, nullptr);
  ApplyUiFont(control);
  return control;
}

void RunFixedCommand(int id) {
  switch (id) {
    case IDC_SHUTDOWN:
      ShowShutdownMenu();
      break;
    case IDC_ALLPROGRAMS:
      ShowProgramsMenu();
      break;
    default:  // IDM_RESTART .. IDM_LOCK
      RunSessionAction(id);
      break;
  }
}

void OnCommand(WPARAM wParam, LPARAM lParam) {
  int id = LOWORD(wParam);
  bool fromControl = HIWORD(wParam) != 0 || lParam != 0;
  if (id >= IDC_FIRST_FIXED_COMMAND && id <= IDC_LAST_FIXED_COMMAND) {
    RunFixedCommand(id);
  } else if (!fromControl) {
    std::wstring target = FindProgramPath(id);
    LaunchTarget(target.c_str());
    PostQuitMessage(0);
  }
}

void OnActivateApp(WPARAM wParam) {
  // Reactivation does not disarm the timer: once deactivated, the popup closes.
  if (static_cast<UINT32>(wParam) == 0) SetTimer(g_mainWnd, IDT_DISMISS, 1000, nullptr);
}

void OnTimer() {
  KillTimer(g_mainWnd, IDT_DISMISS);
  PostQuitMessage(0);
}

void OnNotify(LPARAM lParam) {
  auto header = reinterpret_cast<const NMHDR*>(lParam);
  if (header && header->code == static_cast<UINT>(NM_CLICK)) OpenClickedPinnedItem();
}

void OnCloseMenu() {
  ShowWindow(g_mainWnd, SW_HIDE);
  PostQuitMessage(0);
}

// The corner against a taskbar of the monitor: along its start end, on the side it is docked.
POINT OriginAgainstTaskbar(const RECT& tray, const RECT& monitor) {
  // Middles compared doubled, so that no half pixel is lost; an auto-hidden taskbar lies mostly
  // off the screen, still on its own side.
  if (tray.right - tray.left > tray.bottom - tray.top) {
    bool atTop = tray.top + tray.bottom < monitor.top + monitor.bottom;
    return {monitor.left, atTop ? tray.bottom : tray.top - POPUP_HEIGHT};
  }
  bool atLeft = tray.left + tray.right < monitor.left + monitor.right;
  return {atLeft ? tray.right : tray.left - POPUP_WIDTH, monitor.top};
}

}  // namespace

POINT PopupOrigin() {
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  POINT origin;
  if (IsRectEmpty(&g_trayRect)) {
    GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
    origin = {monitor.rcWork.left, monitor.rcWork.bottom - POPUP_HEIGHT};
  } else {
    GetMonitorInfoW(MonitorFromRect(&g_trayRect, MONITOR_DEFAULTTONEAREST), &monitor);
    origin = OriginAgainstTaskbar(g_trayRect, monitor.rcMonitor);
  }
  // Moved, never resized: whole on the monitor where it fits, else with its top-left corner on it.
  const RECT& screen = monitor.rcMonitor;
  if (IsRectEmpty(&screen)) return origin;
  origin.x = std::max(screen.left, std::min(origin.x, screen.right - POPUP_WIDTH));
  origin.y = std::max(screen.top, std::min(origin.y, screen.bottom - POPUP_HEIGHT));
  return origin;
}

ATOM RegisterMainClass() {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  windowClass.lpfnWndProc = MainWndProc;
  windowClass.hInstance = g_hInstance;
  windowClass.hIcon = LoadIconW(g_hInstance, L"IDI_BUTTON");
  windowClass.hIconSm = LoadIconW(g_hInstance, L"IDI_BUTTON");
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = GetSysColorBrush(COLOR_GRAYTEXT);
  windowClass.lpszClassName = MAIN_CLASS_NAME;
  return RegisterClassExW(&windowClass);
}

void CreateMainWindow() {
  POINT origin = PopupOrigin();
  g_mainWnd = CreateWindowExW(POPUP_EX_STYLE, MAIN_CLASS_NAME, L"", POPUP_STYLE, origin.x, origin.y,
                              POPUP_WIDTH, POPUP_HEIGHT, nullptr, nullptr, g_hInstance, nullptr);
  CreateControl(SHUTDOWN_BUTTON);
  g_treeWnd = CreateControl(PINNED_TREE);
  HWND allPrograms = CreateControl(ALL_PROGRAMS_BUTTON);
  // Loaded once per run and kept by the button until the process ends.
  HANDLE arrow = LoadImageW(g_hInstance, L"IDI_RIGHTARROW", IMAGE_ICON, 16, 16, LR_DEFAULTSIZE);
  SendMessageW(allPrograms, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(arrow));
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      PaintPanel(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_ACTIVATEAPP:
      OnActivateApp(wParam);
      return 0;
    case WM_TIMER:
      OnTimer();
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) PostQuitMessage(0);
      return 0;
    case WM_MOUSEMOVE:
      TrackLinkHover();
      return 0;
    case WM_LBUTTONUP:
      if (g_hoverId != 0) OpenHoveredLink();
      return 0;
    case WM_NOTIFY:
      OnNotify(lParam);
      return 0;
    case WM_COMMAND:
      OnCommand(wParam, lParam);
      return 0;
    case UM_CLOSEMENU:
      OnCloseMenu();
      return 0;
    case WM_GETOBJECT:
      return OnGetObject(window, wParam, lParam);
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}
