// Small Windows-side helper for the run and test scripts:
//   ktool shortcut LINK TARGET [ARGUMENTS]   make a shortcut file
//   ktool resolve LINK                  print "target|arguments|working directory"
//   ktool wait-window CLASS SECONDS     exit 0 once a visible window of that class exists
//   ktool open FILE CLASS SECONDS       open FILE as the shell does, wait for the window of
//                                       that class it brings, then for its process to end, and
//                                       exit with that process's exit code
//   ktool bystander LOG                 stand in for another application of the session: own a
//                                       window, append one line per end-of-session message it
//                                       gets to LOG, exit 0 once the session ends it, 3 if
//                                       nothing came within a minute
//   ktool accessible CLASS              list what a screen reader finds in the client area of
//                                       the shown window of that class (AccessibleListing)
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>

#include "support.h"

namespace {

int ResolveShortcut(wchar_t** argv) {
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link))))
    return 1;
  IPersistFile* file = nullptr;
  int result = 1;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    if (SUCCEEDED(file->Load(argv[2], STGM_READ))) {
      wchar_t target[MAX_PATH * 4] = L"", arguments[MAX_PATH * 4] = L"", dir[MAX_PATH * 4] = L"";
      link->GetPath(target, MAX_PATH * 4, nullptr, SLGP_RAWPATH);
      link->GetArguments(arguments, MAX_PATH * 4);
      link->GetWorkingDirectory(dir, MAX_PATH * 4);
      wprintf(L"%ls|%ls|%ls\n", target, arguments, dir);
      result = 0;
    }
    file->Release();
  }
  link->Release();
  return result;
}

int WaitWindow(wchar_t** argv) {
  return ShownWindow(argv[2], static_cast<DWORD>(_wtoi(argv[3])) * 1000) ? 0 : 1;
}

// The shell hands out no process for a shortcut, so the process is found by its window.
int OpenAndWait(wchar_t** argv) {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOASYNC;
  info.lpFile = argv[2];
  info.nShow = SW_SHOW;
  if (!ShellExecuteExW(&info)) return 1;
  DWORD limit = static_cast<DWORD>(_wtoi(argv[4])) * 1000;
  DWORD start = GetTickCount();
  HWND window = nullptr;
  WaitFor([&] { return (window = FindWindowW(argv[3], nullptr)) != nullptr; }, limit);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (!process) return 1;
  DWORD code = 124;
  DWORD left = limit - std::min<DWORD>(limit, GetTickCount() - start);
  if (WaitForSingleObject(process, left) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return static_cast<int>(code);
}

const wchar_t* g_bystanderLog;

void AppendLine(const char* format, unsigned long long a = 0, unsigned long long b = 0) {
  FILE* log = _wfopen(g_bystanderLog, L"ab");
  if (!log) return;
  std::fprintf(log, format, a, b);
  std::fclose(log);
}

LRESULT CALLBACK BystanderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_QUERYENDSESSION)
    AppendLine("queryendsession %#llx\n", static_cast<unsigned long long>(lParam));
  if (message == WM_ENDSESSION)
    AppendLine("endsession %llu %#llx\n", wParam, static_cast<unsigned long long>(lParam));
  if (message == WM_TIMER || (message == WM_ENDSESSION && wParam)) ExitProcess(message == WM_TIMER ? 3 : 0);
  return message == WM_QUERYENDSESSION ? TRUE : DefWindowProcW(window, message, wParam, lParam);
}

int Bystander(wchar_t** argv) {
  g_bystanderLog = argv[2];
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = BystanderProc;
  windowClass.lpszClassName = L"SessionBystander";
  RegisterClassW(&windowClass);
  HWND window = CreateWindowW(L"SessionBystander", L"Bystander", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 20,
                              200, 100, nullptr, nullptr, nullptr, nullptr);
  SetTimer(window, 1, 60 * 1000, nullptr);
  AppendLine("started\n");
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  return 2;
}

int ListAccessible(wchar_t** argv) {
  HWND window = ShownWindow(argv[2], 10000);
  if (!window) return 1;
  wprintf(L"%ls", AccessibleListing(window).c_str());
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    fwprintf(stderr, L"usage: ktool shortcut|resolve|wait-window|open|bystander|accessible ...\n");
    return 2;
  }
  CoInitialize(nullptr);
  int result = 2;
  if (!wcscmp(argv[1], L"shortcut") && argc >= 4)
    result = MakeShortcut(argv[2], argv[3], argc > 4 ? argv[4] : L"") ? 0 : 1;
  if (!wcscmp(argv[1], L"resolve")) result = ResolveShortcut(argv);
  if (!wcscmp(argv[1], L"wait-window") && argc >= 4) result = WaitWindow(argv);
  if (!wcscmp(argv[1], L"open") && argc >= 5) result = OpenAndWait(argv);
  if (!wcscmp(argv[1], L"bystander")) result = Bystander(argv);
  if (!wcscmp(argv[1], L"accessible")) result = ListAccessible(argv);
  CoUninitialize();
  return result;
}
