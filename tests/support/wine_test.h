// What the tests need to make a world, run the program in it and watch what it does.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kt {

// --- waiting: every wait has a deadline ---

// Pumps this thread's messages until the condition holds or the time is up.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs);
// Pumps this thread's messages for a while (lets posted and sent messages be handled).
void PumpFor(DWORD ms);

// --- files ---

std::wstring ExeDir();                              // folder of the running test program
std::wstring MakeTempDir(const std::wstring& tag);  // a new empty folder under %TEMP%
void RemoveTree(const std::wstring& path);
void WriteTextFile(const std::wstring& path, const std::string& content);
bool MakeShortcut(const std::wstring& link, const std::wstring& target, const std::wstring& arguments = L"",
                  const std::wstring& workingDir = L"");
bool FileExists(const std::wstring& path);

// --- the launch recorder: stands in for applications ---

std::wstring RecorderExe();
// A fresh log path; set as KESTRELON_RECORDER_LOG for children that should record there.
std::wstring NewRecorderLog(const std::wstring& dir);
// One entry per launch: the recorder's own path, its command line and working directory.
struct Launch {
  std::wstring exe, commandLine, workingDir;
};
std::vector<Launch> ReadLaunches(const std::wstring& log);
// Waits until the log holds at least count launches.
bool WaitForLaunches(const std::wstring& log, size_t count, DWORD timeoutMs);

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
// How many visible top-level windows of the class the process has now (menu levels: "#32768").
int CountVisibleWindows(DWORD processId, const wchar_t* className);
// Ends every Kestrelon popup left over by an earlier test.
void CloseStrayPopups();

// A visible topmost window of a class of the test's own, where the popup stands (the owner of
// menus tracked in-process, whose procedure can end them).
HWND CreatePopupSizedWindow(const wchar_t* className, WNDPROC procedure);

// --- real input ---

void MoveCursor(int x, int y);  // screen coordinates
void ClickAt(int x, int y);     // left click, screen coordinates
void PressKey(WORD virtualKey);
// Sets the cursor (screen coordinates) and waits until GetCursorPos reports it, which happens a
// little later; false when it never does.
bool PlaceCursor(POINT screen);
// Under load Wine now and then snaps the cursor back to an earlier place: a caller that hands a
// placed cursor to code reading GetCursorPos checks afterwards that it is still there.
bool CursorIsAt(POINT screen);
// Brings a window of another process to the foreground and waits until it is there.
bool ActivateWindow(HWND window, DWORD timeoutMs);

// --- screen ---

COLORREF ScreenPixel(int x, int y);

// --- import patching: observe or replace a system call made by the code linked here ---

// Swaps this module's import of dll!function for replacement; returns the original, or null
// when the import is not there.
void* PatchImport(const char* dll, const char* function, void* replacement);

}  // namespace kt
