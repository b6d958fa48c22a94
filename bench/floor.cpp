// The floors for start-up: the least a program can do to show the popup and paint its panel
// once. Built twice: floor_window.exe, a bare popup; floor_controls.exe (FLOOR_CONTROLS), built
// and linked like kestrelon.exe, with common controls initialised and the popup's three controls.
#include <windows.h>
#include <commctrl.h>

#include "app/ids.h"
#include "app/main_window.h"

namespace {

LRESULT CALLBACK FloorWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT panel = {9, 8, 250, 428};  // the panel's frame, which the benchmark watches turn white
    FillRect(dc, &panel, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
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
  // The popup's three controls at their places (left, top, width, height).
  auto AddControl = [instance](HWND parent, const wchar_t* className, const wchar_t* text, DWORD style,
                               RECT place, int id) {
    CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, place.left, place.top, place.right,
                    place.bottom, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                    nullptr);
  };
  AddControl(popup, L"Button", L"Shut down...", 0, {265, 443, 85, 22}, IDC_SHUTDOWN);
  AddControl(popup, WC_TREEVIEWW, L"", TVS_FULLROWSELECT | TVS_TRACKSELECT | TVS_DISABLEDRAGDROP,
             {14, 13, 230, 375}, IDC_PINNEDTREE);
  AddControl(popup, L"Button", L"     All Programs", BS_LEFT, {10, 397, 238, 28}, IDC_ALLPROGRAMS);
#endif
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
