// What the benchmarks and the soak need to make a world, run the program in it and watch it.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>

namespace kt {

// --- waiting: every wait has a deadline ---

// Pumps this thread's messages until the condition holds or the time is up.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs);
// Pumps this thread's messages for a while (lets posted and sent messages be handled).
void PumpFor(DWORD ms);

// --- files ---

std::wstring ExeDir();                              // folder of the running program
std::wstring MakeTempDir(const std::wstring& tag);  // a new empty folder under %TEMP%
void RemoveTree(const std::wstring& path);
void WriteTextFile(const std::wstring& path, const std::string& content);
bool MakeShortcut(const std::wstring& link, const std::wstring& target, const std::wstring& arguments = L"",
                  const std::wstring& workingDir = L"");

// The launch recorder: stands in for applications.
std::wstring RecorderExe();

// --- processes ---

struct Process {
  HANDLE handle = nullptr;
  DWORD id = 0;
};
std::wstring KestrelonExe();
// Starts a program with the current environment plus overrides (an empty value removes the
// variable) in the given working directory.
Process StartProcess(const std::wstring& exe, const std::map<std::wstring, std::wstring>& env,
                     const std::wstring& workingDir, const std::wstring& arguments = L"");
// Exit code, or -1 if the process did not end in time (it is then killed).
int WaitExit(Process& process, DWORD timeoutMs);
void CloseProcess(Process& process);
// The visible top-level window of the given class owned by the process, waiting for it.
HWND WaitForWindow(DWORD processId, const wchar_t* className, DWORD timeoutMs);
// Any top-level window (visible or not) of the class owned by the process, now.
HWND FindProcessWindow(DWORD processId, const wchar_t* className);

// A visible topmost window of a class of the caller's own, where the popup stands (the owner
// of menus tracked in-process, whose procedure can end them).
HWND CreatePopupSizedWindow(const wchar_t* className, WNDPROC procedure);

// --- real input ---

void ClickAt(int x, int y);  // left click, screen coordinates
// Sets the cursor (screen coordinates) and waits until GetCursorPos reports it, which happens a
// little later; false when it never does.
bool PlaceCursor(POINT screen);
// Brings a window to the foreground and waits until it is there.
bool ActivateWindow(HWND window, DWORD timeoutMs);

// --- screen ---

COLORREF ScreenPixel(int x, int y);

// --- import patching: observe or replace a system call made by the code linked here ---

// Swaps this module's import of dll!function for replacement; returns the original, or null
// when the import is not there.
void* PatchImport(const char* dll, const char* function, void* replacement);

}  // namespace kt
