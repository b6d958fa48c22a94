// What every test shares: the popup built by the program's own start-up on a profile of the
// test trees, stand-ins that log what the program asks of Windows, and pixels read back.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "support.h"

extern POINT g_cursor;      // what GetCursorPos reports: off the popup unless a test moves it
extern std::wstring g_log;  // what the stand-ins were asked, e.g. "show window=popup command=0;quit code=0;"

std::wstring Text(long long value);
std::wstring Text(const wchar_t* text);
std::wstring Text(HWND window);  // "popup", "other" or "null"
std::wstring TakeLog();

// Logs "name label=value label=value...;" from labels "name label label..." and gives result.
void LogEntry(const wchar_t* labels, const std::vector<std::wstring>& values);
template <class Result, class... Arguments>
Result Logged(Result result, const wchar_t* labels, Arguments... arguments) {
  LogEntry(labels, {Text(arguments)...});
  return result;
}

// What the launch stand-in logs for a file opened with the default verb, waiting for DDE.
std::wstring Opened(const std::wstring& file);

std::wstring Tree(const wchar_t* name);  // a folder or file of the test trees
// The profile a start reads: homedrive and homepath name the tree folder home (on Z:, not the
// system drive), and Wine's GetUserNameW answers account.
void SetProfile(const wchar_t* home, const std::wstring& account);
// The demo picture as the account's picture, where a start under Wine looks for it.
void GivePicture(const std::wstring& account);
// The popup as kestrelon.exe shows it, made by its own start-up on the profile, once the pinned
// items loader has put pinned items into the tree; then the stand-ins answer. The home "bare"
// has no folders: its loader ends at once, with no icon lookups that would overlap a test's.
void ShowPopup(const wchar_t* home = L"bare", const std::wstring& account = L"", int pinned = 0);

void Aim(HWND window, int x, int y);  // GetCursorPos then reports that client point
COLORREF Pixel(int x, int y);         // of the popup, through its own DC
// Sends a message to the popup; gives what the stand-ins logged meanwhile.
std::wstring Send(UINT message, WPARAM wParam, LPARAM lParam);
void MoveTo(int x, int y);  // a mouse move to that client point of the popup

// printf into a wide string, bounded.
std::wstring Format(const wchar_t* format, ...);

// Bits of a bitmap, bytes long; deletes it when asked.
std::string Bits(HBITMAP bitmap, int bytes, bool destroy = false);
// One line per item, submenus indented: "label #id" or "label >", "-" for a separator, "!"
// after an item that is greyed, checked or otherwise not plain; the bits of each item's 16 x 16
// bitmap (zeros for none) go to bits.
std::wstring Listing(HMENU menu, const std::wstring& indent = L"", std::string* bits = nullptr);

// A colour by the name a table gives it, else "#rrggbb".
struct NamedColour {
  COLORREF colour;
  const char* name;
};
std::string Named(COLORREF colour, const std::vector<NamedColour>& names);

#define FAKE(function) PatchImport(#function, reinterpret_cast<void*>(Fake##function))
