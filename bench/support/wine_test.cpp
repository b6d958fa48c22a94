#include "support/wine_test.h"

#include <objbase.h>
#include <shlobj.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

namespace kt {

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

void PumpFor(DWORD ms) {
  WaitFor([] { return false; }, ms);
}

std::wstring ExeDir() {
  wchar_t path[MAX_PATH * 4];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  std::wstring dir(path, length);
  return dir.substr(0, dir.find_last_of(L'\\'));
}

std::wstring MakeTempDir(const std::wstring& tag) {
  wchar_t temp[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temp);
  static unsigned counter;
  for (;;) {
    std::wstring dir = std::wstring(temp) + L"kt-" + tag + L"-" + std::to_wstring(GetCurrentProcessId()) +
                       L"-" + std::to_wstring(++counter);
    if (CreateDirectoryW(dir.c_str(), nullptr)) return dir;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return std::wstring();
  }
}

void RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((L"\\\\?\\" + path + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring child = path + L"\\" + name;
      SetFileAttributesW((L"\\\\?\\" + child).c_str(), FILE_ATTRIBUTE_NORMAL);
      bool isLink = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !isLink) {
        RemoveTree(child);
      } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveDirectoryW((L"\\\\?\\" + child).c_str());
      } else {
        DeleteFileW((L"\\\\?\\" + child).c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW((L"\\\\?\\" + path).c_str());
}

void WriteTextFile(const std::wstring& path, const std::string& content) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
}

bool MakeShortcut(const std::wstring& link, const std::wstring& target, const std::wstring& arguments,
                  const std::wstring& workingDir) {
  HRESULT com = CoInitialize(nullptr);
  IShellLinkW* shellLink = nullptr;
  bool saved = false;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&shellLink)))) {
    shellLink->SetPath(target.c_str());
    if (!arguments.empty()) shellLink->SetArguments(arguments.c_str());
    if (!workingDir.empty()) shellLink->SetWorkingDirectory(workingDir.c_str());
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      saved = SUCCEEDED(file->Save(link.c_str(), TRUE));
      file->Release();
    }
    shellLink->Release();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return saved;
}

std::wstring RecorderExe() { return ExeDir() + L"\\bench_recorder.exe"; }

std::wstring KestrelonExe() { return ExeDir() + L"\\kestrelon.exe"; }

namespace {

std::wstring EnvironmentBlock(const std::map<std::wstring, std::wstring>& overrides) {
  // Windows compares variable names without case; keep one entry per name.
  std::map<std::wstring, std::pair<std::wstring, std::wstring>> byUpperName;
  wchar_t* strings = GetEnvironmentStringsW();
  for (const wchar_t* entry = strings; *entry; entry += wcslen(entry) + 1) {
    std::wstring text = entry;
    size_t equals = text.find(L'=', 1);
    if (equals == std::wstring::npos) continue;
    std::wstring name = text.substr(0, equals);
    std::wstring upper = name;
    CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    byUpperName[upper] = {name, text.substr(equals + 1)};
  }
  FreeEnvironmentStringsW(strings);
  for (const auto& item : overrides) {
    std::wstring upper = item.first;
    CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    if (item.second.empty()) {
      byUpperName.erase(upper);
    } else {
      byUpperName[upper] = {item.first, item.second};
    }
  }
  std::wstring block;
  for (const auto& item : byUpperName) block += item.second.first + L"=" + item.second.second + L'\0';
  block += L'\0';
  return block;
}

}  // namespace

Process StartProcess(const std::wstring& exe, const std::map<std::wstring, std::wstring>& env,
                     const std::wstring& workingDir, const std::wstring& arguments) {
  std::wstring commandLine = L"\"" + exe + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  std::wstring block = EnvironmentBlock(env);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  Process process;
  // A failed process creation is the harness's trouble, not the program's: try again, and
  // say so, so that a rare failure of the machine is not read as a failure of the popup.
  for (int attempt = 1; attempt <= 3; ++attempt) {
    if (CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                       &block[0], workingDir.empty() ? nullptr : workingDir.c_str(), &startup, &info)) {
      CloseHandle(info.hThread);
      process.handle = info.hProcess;
      process.id = info.dwProcessId;
      break;
    }
    std::fprintf(stderr, "CreateProcessW failed (attempt %d, error %lu)\n", attempt, GetLastError());
    PumpFor(200);
  }
  return process;
}

int WaitExit(Process& process, DWORD timeoutMs) {
  if (!process.handle) return -1;
  bool ended = WaitFor([&] { return WaitForSingleObject(process.handle, 0) == WAIT_OBJECT_0; }, timeoutMs);
  if (!ended) {
    TerminateProcess(process.handle, 99);
    WaitForSingleObject(process.handle, 5000);
    return -1;
  }
  DWORD code = 0;
  GetExitCodeProcess(process.handle, &code);
  return static_cast<int>(code);
}

void CloseProcess(Process& process) {
  if (process.handle) {
    if (WaitForSingleObject(process.handle, 0) != WAIT_OBJECT_0) {
      TerminateProcess(process.handle, 99);
      WaitForSingleObject(process.handle, 5000);
    }
    CloseHandle(process.handle);
  }
  process = Process();
}

namespace {

struct WindowSearch {
  DWORD processId;
  const wchar_t* className;
  bool visibleOnly;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t name[256];
  if (owner == search->processId && GetClassNameW(window, name, 256) && !wcscmp(name, search->className) &&
      (!search->visibleOnly || IsWindowVisible(window))) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindOwnedWindow(DWORD processId, const wchar_t* className, bool visibleOnly) {
  WindowSearch search = {processId, className, visibleOnly, nullptr};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

HWND WaitForWindow(DWORD processId, const wchar_t* className, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitFor([&] { return (found = FindOwnedWindow(processId, className, true)) != nullptr; }, timeoutMs);
  return found;
}

HWND FindProcessWindow(DWORD processId, const wchar_t* className) {
  return FindOwnedWindow(processId, className, false);
}

HWND CreatePopupSizedWindow(const wchar_t* className, WNDPROC procedure) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = className;
  RegisterClassW(&windowClass);
  return CreateWindowExW(WS_EX_TOPMOST, className, L"", WS_POPUP | WS_VISIBLE, 0, 263, 410, 485, nullptr,
                         nullptr, GetModuleHandleW(nullptr), nullptr);
}

namespace {

// Under load Wine now and then snaps the cursor back to an earlier place.
bool CursorIsAt(POINT screen) {
  POINT now = {};
  return GetCursorPos(&now) && now.x == screen.x && now.y == screen.y;
}

}  // namespace

bool PlaceCursor(POINT screen) {
  SetCursorPos(screen.x, screen.y);
  DWORD start = GetTickCount();
  while (!CursorIsAt(screen)) {
    if (GetTickCount() - start >= 2000) return false;
    Sleep(1);
  }
  return true;
}

void ClickAt(int x, int y) {
  // A cursor set first, then move, down and up in one call: separate calls lose clicks. The
  // cursor must still stand there after a moment: a late snap-back would put the click's
  // hover state (read through GetCursorPos) on the earlier place.
  for (int attempt = 0; attempt < 3; ++attempt) {
    PlaceCursor(POINT{x, y});
    PumpFor(100);
    if (CursorIsAt(POINT{x, y})) break;
  }
  INPUT inputs[3] = {};
  for (INPUT& input : inputs) input.type = INPUT_MOUSE;
  inputs[0].mi.dx = (x * 65536 + GetSystemMetrics(SM_CXSCREEN) - 1) / GetSystemMetrics(SM_CXSCREEN);
  inputs[0].mi.dy = (y * 65536 + GetSystemMetrics(SM_CYSCREEN) - 1) / GetSystemMetrics(SM_CYSCREEN);
  inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(3, inputs, sizeof(INPUT));
}

bool ActivateWindow(HWND window, DWORD timeoutMs) {
  return WaitFor(
      [&] {
        SetForegroundWindow(window);
        return GetForegroundWindow() == window;
      },
      timeoutMs);
}

COLORREF ScreenPixel(int x, int y) {
  HDC screen = GetDC(nullptr);
  COLORREF colour = GetPixel(screen, x, y);
  ReleaseDC(nullptr, screen);
  return colour;
}

void* PatchImport(const char* dll, const char* function, void* replacement) {
  auto base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  auto dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  auto descriptor = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
  for (; descriptor->Name; ++descriptor) {
    if (_stricmp(reinterpret_cast<char*>(base + descriptor->Name), dll) != 0) continue;
    auto names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->OriginalFirstThunk);
    auto slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (strcmp(reinterpret_cast<char*>(byName->Name), function) != 0) continue;
      DWORD oldProtect = 0;
      VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &oldProtect);
      void* original = reinterpret_cast<void*>(slots->u1.Function);
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&slots->u1.Function, sizeof(void*), oldProtect, &oldProtect);
      return original;
    }
  }
  return nullptr;
}

}  // namespace kt
