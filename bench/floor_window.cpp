// The floor for start-up: the least a program can do to show a 410 x 485 popup and paint it
// once, built by the same toolchain.
#include <windows.h>

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

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = FloorWndProc;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = GetSysColorBrush(COLOR_GRAYTEXT);
  windowClass.lpszClassName = L"KestrelonFloor";
  RegisterClassExW(&windowClass);
  RECT tray = {};
  GetWindowRect(FindWindowW(L"Shell_TrayWnd", L""), &tray);
  CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"KestrelonFloor", L"", WS_POPUP | WS_VISIBLE, 0,
                  tray.top - 485, 410, 485, nullptr, nullptr, instance, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
