#include "support/soak_process.h"

#include <tlhelp32.h>

#include <cwchar>

namespace kt {

int KestrelonProcesses() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  int count = 0;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    count += _wcsicmp(entry.szExeFile, L"kestrelon.exe") == 0;
  }
  CloseHandle(snapshot);  // taken for this one count
  return count;
}

namespace {

BOOL CALLBACK CountDialog(HWND window, LPARAM param) {
  wchar_t name[16];
  if (IsWindowVisible(window) && GetClassNameW(window, name, 16) && !wcscmp(name, L"#32770"))
    ++*reinterpret_cast<int*>(param);
  return TRUE;
}

}  // namespace

int VisibleDialogs() {
  int count = 0;
  EnumWindows(CountDialog, reinterpret_cast<LPARAM>(&count));
  return count;
}

}  // namespace kt
