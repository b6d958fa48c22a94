// Small Windows-side helper for the run and test scripts:
//   ktool shortcut LINK TARGET [ARGUMENTS]   make a shortcut file
//   ktool resolve LINK                  print "target|arguments|working directory"
//   ktool wait-window CLASS SECONDS     exit 0 once a visible window of that class exists
//   ktool open FILE CLASS SECONDS       open FILE as the shell does, wait for the window of
//                                       that class it brings, then for its process to end, and
//                                       exit with that process's exit code
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
  HWND window = nullptr;
  auto shown = [&] { return (window = FindWindowW(argv[2], nullptr)) != nullptr && IsWindowVisible(window); };
  return WaitFor(shown, static_cast<DWORD>(_wtoi(argv[3])) * 1000) ? 0 : 1;
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

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    fwprintf(stderr, L"usage: ktool shortcut|resolve|wait-window ...\n");
    return 2;
  }
  CoInitialize(nullptr);
  int result = 2;
  if (!wcscmp(argv[1], L"shortcut") && argc >= 4)
    result = MakeShortcut(argv[2], argv[3], argc > 4 ? argv[4] : L"") ? 0 : 1;
  if (!wcscmp(argv[1], L"resolve")) result = ResolveShortcut(argv);
  if (!wcscmp(argv[1], L"wait-window") && argc >= 4) result = WaitWindow(argv);
  if (!wcscmp(argv[1], L"open") && argc >= 5) result = OpenAndWait(argv);
  CoUninitialize();
  return result;
}
