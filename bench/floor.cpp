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
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = FloorWndProc;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = GetSysColorBrush(COLOR_GRAYTEXT);
  windowClass.lpszClassName = name;
  RegisterClassExW(&windowClass);
  RECT tray = {};
  GetWindowRect(FindWindowW(L"Shell_TrayWnd", L""), &tray);
  HWND popup = CreateWindowExW(exStyle, name, L"", style, 0, tray.top - POPUP_HEIGHT, POPUP_WIDTH,
                               POPUP_HEIGHT, nullptr, nullptr, instance, nullptr);
#ifdef FLOOR_CONTROLS
  struct {
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
    RECT place;  // left, top, width, height
    int id;
  } const children[] = {{L"Button", L"Shut down...", 0, {265, 443, 85, 22}, IDC_SHUTDOWN},
                        {WC_TREEVIEWW,
                         L"",
                         TVS_FULLROWSELECT | TVS_TRACKSELECT | TVS_DISABLEDRAGDROP,
                         {14, 13, 230, 375},
                         IDC_PINNEDTREE},
                        {L"Button", L"     All Programs", BS_LEFT, {10, 397, 238, 28}, IDC_ALLPROGRAMS}};
  for (const auto& child : children)
    CreateWindowExW(0, child.className, child.text, WS_CHILD | WS_VISIBLE | child.style, child.place.left,
                    child.place.top, child.place.right, child.place.bottom, popup,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(child.id)), instance, nullptr);
#else
  (void)popup;
#endif
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
