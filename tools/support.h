// What the tests, the benchmarks and ktool share: bounded waits, whole runs of a program,
// shortcut files and stand-ins for the calls a program makes through its imports.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Handles this thread's messages until the condition holds or the time is up.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs);

// The visible top-level window of a class, once there is one; null when none shows in time.
HWND ShownWindow(const wchar_t* className, DWORD timeoutMs);

// A path beside the running program, made whole ("..\\x" allowed).
std::wstring Beside(const std::wstring& name);

// A shortcut file that opens target with arguments.
bool MakeShortcut(const std::wstring& link, const std::wstring& target, const std::wstring& arguments = L"");

// Starts a program (a path beside this one by default: kestrelon.exe) in a working directory.
PROCESS_INFORMATION Start(const std::wstring& dir, const std::wstring& exe = Beside(L"kestrelon.exe"));
// Its exit code, or -1 when it has not ended in time (it is then ended); closes its handles.
int ExitCode(const PROCESS_INFORMATION& run, DWORD timeoutMs = 10000);

// The import directory of a mapped program.
IMAGE_IMPORT_DESCRIPTOR* Imports(BYTE* base);
// What an accessibility client finds in a window's client area, as a screen reader lists it:
// a line for the object itself (child 0), then one for each child that AccessibleChildren gives:
// "id role "name" state left top right bottom action" ("-" where the object answers nothing,
// the error where it fails), or "id window CLASS" for a child that is a window of its own.
std::wstring AccessibleListing(HWND window);

// Swaps this program's import of a function, which the code linked into it calls through;
// gives the original, or null when there is no such import.
void* PatchImport(const char* function, void* replacement);
