// The floors for start-up: the least a program can do to show the popup and paint its panel
// once. Built twice: floor_window.exe, a bare popup; floor_controls.exe (FLOOR_CONTROLS), built
// and linked like kestrelon.exe, with common controls initialised and the popup's three controls.
#include <windows.h>
#include <commctrl.h>

#include <initializer_list>

#include "app/ids.h"
#include "app/main_window.h"
#include "panel/panel_paint.h"

namespace {

LRESULT CALLBACK FloorWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    // The panel's frame, which the benchmark watches turn white.
    FillRect(dc, &PANEL_FRAME, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EndPaint(window, &paint);
    return 0;
  }
  if (message == WM_KEYDOWN || message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
#ifdef FLOOR_CONTROLS
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_COOL_CLASSES};
  InitCommonControlsEx(&controls);
  const wchar_t* name = L"KestrelonControlsFloor";
  DWORD style = POPUP_STYLE, exStyle = POPUP_EX_STYLE;
#else
  const wchar_t* name = L"KestrelonFloor";
  DWORD style = WS_POPUP | WS_VISIBLE, exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
#endif
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = FloorWndProc;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = GetSysColorBrush(COLOR_GRAYTEXT);
  windowClass.lpszClassName = name;
  RegisterClassW(&windowClass);
  RECT tray = {};
  GetWindowRect(FindWindowW(L"Shell_TrayWnd", L""), &tray);
  [[maybe_unused]] HWND popup =
      CreateWindowExW(exStyle, name, L"", style, 0, tray.top - POPUP_HEIGHT, POPUP_WIDTH, POPUP_HEIGHT,
                      nullptr, nullptr, instance, nullptr);
#ifdef FLOOR_CONTROLS
  // The popup's three controls at their places.
  for (const ControlLayout& c : {SHUTDOWN_BUTTON, PINNED_TREE, ALL_PROGRAMS_BUTTON})
    CreateWindowExW(0, c.className, c.text, c.style, c.x, c.y, c.width, c.height, popup,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
#endif
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
