// Stands in for another application of the session: owns a window and appends one line per
// end-of-session message it gets ("queryendsession LPARAM", "endsession WPARAM LPARAM") to
// the file named on its command line. Exits 0 once the session ends it, 3 if nothing came
// within a minute, so a test that waits for it can never hang.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::wstring g_logPath;

void AppendLine(const char* line) {
  HANDLE file = CreateFileW(g_logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line, static_cast<DWORD>(strlen(line)), &written, nullptr);
  CloseHandle(file);
}

LRESULT CALLBACK BystanderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  char line[96];
  switch (message) {
    case WM_QUERYENDSESSION:
      _snprintf_s(line, sizeof(line), _TRUNCATE, "queryendsession %#llx\n",
                  static_cast<unsigned long long>(lParam));
      AppendLine(line);
      return TRUE;
    case WM_ENDSESSION:
      _snprintf_s(line, sizeof(line), _TRUNCATE, "endsession %llu %#llx\n",
                  static_cast<unsigned long long>(wParam), static_cast<unsigned long long>(lParam));
      AppendLine(line);
      if (wParam) ExitProcess(0);
      return 0;
    case WM_TIMER:
      ExitProcess(3);
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  g_logPath = commandLine;
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = BystanderProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = L"SessionBystander";
  RegisterClassW(&windowClass);
  HWND window = CreateWindowW(L"SessionBystander", L"Bystander", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 20,
                              200, 100, nullptr, nullptr, instance, nullptr);
  SetTimer(window, 1, 60 * 1000, nullptr);
  AppendLine("started\n");
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  return 2;
}
