#include "support/session_fakes.h"

#include <windows.h>

#include <cstdio>
#include <mutex>
#include <set>

#include "support/wine_test.h"

namespace kt {

namespace {

using OpenProcessTokenFn = BOOL(WINAPI*)(HANDLE, DWORD, PHANDLE);
using CloseHandleFn = BOOL(WINAPI*)(HANDLE);

struct FakeState {
  std::mutex lock;
  std::vector<std::string> calls;
  std::set<HANDLE> openTokens;
  OpenProcessTokenFn openProcessToken = nullptr;
  CloseHandleFn closeHandle = nullptr;
};

FakeState& State() {
  static FakeState state;
  return state;
}

void Log(const std::string& line) {
  std::lock_guard<std::mutex> guard(State().lock);
  State().calls.push_back(line);
}

bool QueryShutdownPrivilege(HANDLE token) {
  PRIVILEGE_SET wanted = {};
  wanted.PrivilegeCount = 1;
  wanted.Control = PRIVILEGE_SET_ALL_NECESSARY;
  if (!LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &wanted.Privilege[0].Luid)) return false;
  BOOL held = FALSE;
  return PrivilegeCheck(token, &wanted, &held) && held;
}

// Opens this process's token through the real call, bypassing the logging stand-in.
HANDLE OpenOwnToken(DWORD access) {
  OpenProcessTokenFn open = State().openProcessToken ? State().openProcessToken : OpenProcessToken;
  HANDLE token = nullptr;
  if (!open(GetCurrentProcess(), access, &token)) return nullptr;
  return token;
}

void CloseOwnToken(HANDLE token) {
  CloseHandleFn close = State().closeHandle ? State().closeHandle : CloseHandle;
  close(token);
}

std::string PrivilegeNote() { return ShutdownPrivilegeEnabled() ? " privilege on" : " privilege off"; }

BOOL WINAPI FakeOpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
  BOOL opened = State().openProcessToken(process, access, token);
  if (opened && process == GetCurrentProcess()) {
    char line[64];
    _snprintf_s(line, sizeof(line), _TRUNCATE, "open token %#lx", access);
    std::lock_guard<std::mutex> guard(State().lock);
    State().openTokens.insert(*token);
    State().calls.push_back(line);
  }
  return opened;
}

BOOL WINAPI FakeCloseHandle(HANDLE handle) {
  {
    std::lock_guard<std::mutex> guard(State().lock);
    if (State().openTokens.erase(handle)) State().calls.push_back("close token");
  }
  return State().closeHandle(handle);
}

BOOL WINAPI FakeExitWindowsEx(UINT flags, DWORD reason) {
  char line[64];
  _snprintf_s(line, sizeof(line), _TRUNCATE, "ExitWindowsEx(%#x, %lu)", flags, reason);
  Log(line + PrivilegeNote());
  return TRUE;
}

BOOL WINAPI FakeLockWorkStation() {
  Log("LockWorkStation()" + PrivilegeNote());
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return FALSE;
}

void WINAPI FakePostQuitMessage(int exitCode) { Log("PostQuitMessage(" + std::to_string(exitCode) + ")"); }

}  // namespace

bool InstallSessionFakes() {
  FakeState& state = State();
  if (state.openProcessToken) return true;
  void* open = PatchImport("ADVAPI32.dll", "OpenProcessToken", reinterpret_cast<void*>(FakeOpenProcessToken));
  void* close = PatchImport("KERNEL32.dll", "CloseHandle", reinterpret_cast<void*>(FakeCloseHandle));
  state.openProcessToken = reinterpret_cast<OpenProcessTokenFn>(open);
  state.closeHandle = reinterpret_cast<CloseHandleFn>(close);
  bool exit = PatchImport("USER32.dll", "ExitWindowsEx", reinterpret_cast<void*>(FakeExitWindowsEx));
  bool lock = PatchImport("USER32.dll", "LockWorkStation", reinterpret_cast<void*>(FakeLockWorkStation));
  bool quit = PatchImport("USER32.dll", "PostQuitMessage", reinterpret_cast<void*>(FakePostQuitMessage));
  return open && close && exit && lock && quit;
}

std::vector<std::string> SessionCalls() {
  std::lock_guard<std::mutex> guard(State().lock);
  return State().calls;
}

void ClearSessionCalls() {
  std::lock_guard<std::mutex> guard(State().lock);
  State().calls.clear();
}

bool ShutdownPrivilegeEnabled() {
  HANDLE token = OpenOwnToken(TOKEN_QUERY);
  if (!token) return false;
  bool enabled = QueryShutdownPrivilege(token);
  CloseOwnToken(token);
  return enabled;
}

bool DisableShutdownPrivilege() {
  HANDLE token = OpenOwnToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY);
  if (!token) return false;
  TOKEN_PRIVILEGES off = {};
  off.PrivilegeCount = 1;
  off.Privileges[0].Attributes = 0;
  bool done = LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &off.Privileges[0].Luid) &&
              AdjustTokenPrivileges(token, FALSE, &off, 0, nullptr, nullptr) &&
              !QueryShutdownPrivilege(token);
  CloseOwnToken(token);
  return done;
}

}  // namespace kt
