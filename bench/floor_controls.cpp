// The second floor for start-up: the least a program can do to show the popup the way the
// program must, built and linked like kestrelon.exe (same libraries, same resources and
// manifest): common controls initialised, a 410 x 485 popup with the two buttons and the tree
// at their places, painted once.
#include <windows.h>
#include <commctrl.h>

namespace {

LRESULT CALLBACK FloorWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT panel = {9, 8, 250, 428};
      FillRect(dc, &panel, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      EndPaint(window, &paint);
      return 0;
    }
    case WM_KEYDOWN:
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

void AddControl(HWND parent, HINSTANCE instance, const wchar_t* className, const wchar_t* text, DWORD style,
                int x, int y, int width, int height, int id) {
  CreateWindowExW(0, className, text, style, x, y, width, height, parent,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_COOL_CLASSES};
  InitCommonControlsEx(&controls);
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = FloorWndProc;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = GetSysColorBrush(COLOR_GRAYTEXT);
  windowClass.lpszClassName = L"KestrelonControlsFloor";
  RegisterClassExW(&windowClass);
  RECT tray = {};
  GetWindowRect(FindWindowW(L"Shell_TrayWnd", L""), &tray);
  HWND popup = CreateWindowExW(WS_EX_COMPOSITED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"KestrelonControlsFloor",
                               L"", WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0,
                               tray.top - 485, 410, 485, nullptr, nullptr, instance, nullptr);
  AddControl(popup, instance, L"Button", L"Shut down...", WS_CHILD | WS_VISIBLE, 265, 443, 85, 22, 5000);
  AddControl(popup, instance, WC_TREEVIEWW, L"",
             WS_CHILD | WS_VISIBLE | TVS_FULLROWSELECT | TVS_TRACKSELECT | TVS_DISABLEDRAGDROP, 14, 13, 230,
             375, 9000);
  AddControl(popup, instance, L"Button", L"     All Programs", WS_CHILD | WS_VISIBLE | BS_LEFT, 10, 397, 238,
             28, 5005);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
