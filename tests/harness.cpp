#include "harness.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdarg>
#include <cstdio>
#include <sstream>
#include <utility>

#include <gtest/gtest.h>

#include "app/startup.h"
#include "app/state.h"

POINT g_cursor = {1000, 10};
std::wstring g_log;

std::wstring Text(long long value) { return std::to_wstring(value); }
std::wstring Text(const wchar_t* text) { return text ? text : L"null"; }
std::wstring Text(HWND window) { return window == g_mainWnd ? L"popup" : window ? L"other" : L"null"; }
std::wstring TakeLog() { return std::exchange(g_log, std::wstring()); }

void LogEntry(const wchar_t* labels, const std::vector<std::wstring>& values) {
  std::wistringstream words(labels);
  std::wstring entry, label;
  words >> entry;
  for (const std::wstring& value : values) entry += L" " + (words >> label, label) + L"=" + value;
  g_log += entry + L";";
}

std::wstring Opened(const std::wstring& file) {  // 256: SEE_MASK_NOASYNC, 5: SW_SHOW
  return L"open file=" + file +
         L" size=112 mask=256 verb=null parameters=null directory=null show=5 owner=null;";
}

namespace {

// clang-format off
void WINAPI FakePostQuitMessage(int code) { Logged(0, L"quit code", code); }
BOOL WINAPI FakeShellExecuteExW(SHELLEXECUTEINFOW* r) {
  return Logged(TRUE, L"open file size mask verb parameters directory show owner", r->lpFile, r->cbSize, r->fMask,
                r->lpVerb, r->lpParameters, r->lpDirectory, r->nShow, r->hwnd);
}
BOOL WINAPI FakeGetCursorPos(POINT* point) { *point = g_cursor; return TRUE; }
BOOL WINAPI FakeShowWindow(HWND window, int command) { return Logged(TRUE, L"show window command", window, command); }
UINT_PTR WINAPI FakeSetTimer(HWND window, UINT_PTR id, UINT ms, TIMERPROC call) {
  return Logged(id, L"timer window id ms callback", window, id, ms, call != nullptr);
}
BOOL WINAPI FakeKillTimer(HWND window, UINT_PTR id) { return Logged(TRUE, L"kill window id", window, id); }
BOOL WINAPI FakeTrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* rect) {
  Logged(TRUE, L"menu x y flags reserved owner avoid", x, y, flags, reserved, owner, rect != nullptr);
  g_log += L"\n" + Listing(menu);  // its items, after the call's own line
  return TRUE;
}
BOOL WINAPI FakeOpenProcessToken(HANDLE process, DWORD access, HANDLE* token) {
  *token = nullptr;
  return Logged(TRUE, L"token process access", process == GetCurrentProcess() ? L"this" : L"other", access);
}
BOOL WINAPI FakeAdjustTokenPrivileges(HANDLE, BOOL off, TOKEN_PRIVILEGES* set, DWORD size, TOKEN_PRIVILEGES* old, DWORD* oldSize) {
  const LUID_AND_ATTRIBUTES& first = set->Privileges[0];
  return Logged(TRUE, L"privilege all-off count luid attributes size previous", off, set->PrivilegeCount,
                first.Luid.LowPart, first.Attributes, size, old || oldSize);
}
BOOL WINAPI FakeExitWindowsEx(UINT flags, DWORD reason) { return Logged(TRUE, L"exit flags reason", flags, reason); }
BOOL WINAPI FakeLockWorkStation() { return Logged(TRUE, L"lock"); }
LRESULT WINAPI FakeSendMessageTimeoutW(HWND to, UINT m, WPARAM w, LPARAM l, UINT f, UINT ms, PDWORD_PTR r) {
  return Logged(LRESULT(1), L"send to message w l flags ms result", to, m, w, l, f, ms, r ? L"kept" : L"null");
}
// clang-format on

}  // namespace

std::wstring Tree(const wchar_t* name) { return Beside(L"..\\trees\\" + std::wstring(name)); }

void SetProfile(const wchar_t* home, const std::wstring& account) {
  const std::wstring folder = Tree(home);
  SetEnvironmentVariableW(L"homedrive", folder.substr(0, 2).c_str());
  SetEnvironmentVariableW(L"homepath", folder.substr(2).c_str());
  if (account.empty()) return;
  SetEnvironmentVariableW(L"WINEUSERNAME", account.c_str());
  // Wine's shell gives no file icons to an account without a desktop folder.
  CreateDirectoryW((L"C:\\users\\" + account).c_str(), nullptr);
  CreateDirectoryW((L"C:\\users\\" + account + L"\\Desktop").c_str(), nullptr);
}

void GivePicture(const std::wstring& account) {
  const std::wstring folder = L"C:\\ProgramData\\Microsoft\\User Account Pictures\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  CopyFileW(Tree(L"demo-account.bmp").c_str(), (folder + account + L".bmp").c_str(), FALSE);
}

void ShowPopup(const wchar_t* home, const std::wstring& account, int pinned) {
  SetProfile(home, account);
  SetCursorPos(1000, 10);  // off the popup, whose real mouse moves the stand-ins do not see
  ASSERT_TRUE(OpenPopup(GetModuleHandleW(nullptr)));
  // The loader thread reaches the tree through SendMessageW: this thread serves it meanwhile.
  ASSERT_TRUE(WaitFor(
      [&] {
        return TreeView_GetImageList(g_treeWnd, TVSIL_NORMAL) && int(TreeView_GetCount(g_treeWnd)) == pinned;
      },
      10000))
      << "the pinned items loader did not put " << pinned << " items into the tree";
  UpdateWindow(g_mainWnd);
  for (void* original :
       {FAKE(PostQuitMessage), FAKE(ShellExecuteExW), FAKE(GetCursorPos), FAKE(ShowWindow), FAKE(SetTimer),
        FAKE(KillTimer), FAKE(TrackPopupMenu), FAKE(OpenProcessToken), FAKE(AdjustTokenPrivileges),
        FAKE(ExitWindowsEx), FAKE(LockWorkStation), FAKE(SendMessageTimeoutW)})
    ASSERT_NE(nullptr, original) << "an import to stand in for is missing";
}

void Aim(HWND window, int x, int y) {
  g_cursor = {x, y};
  ClientToScreen(window, &g_cursor);
}

COLORREF Pixel(int x, int y) {
  HDC dc = GetDC(g_mainWnd);
  COLORREF colour = GetPixel(dc, x, y);
  ReleaseDC(g_mainWnd, dc);
  return colour;
}

std::wstring Send(UINT message, WPARAM wParam, LPARAM lParam) {
  TakeLog();
  EXPECT_EQ(0, SendMessageW(g_mainWnd, message, wParam, lParam)) << message;
  return TakeLog();
}

void MoveTo(int x, int y) {
  Aim(g_mainWnd, x, y);
  Send(WM_MOUSEMOVE, 0, 0);
}

std::wstring Format(const wchar_t* format, ...) {
  wchar_t text[1024];
  va_list arguments;
  va_start(arguments, format);
  std::vswprintf(text, 1024, format, arguments);
  va_end(arguments);
  return text;
}

std::string Bits(HBITMAP bitmap, int bytes, bool destroy) {
  std::string bits(static_cast<size_t>(bytes), '\0');
  GetBitmapBits(bitmap, bytes, &bits[0]);
  if (destroy) DeleteObject(bitmap);
  return bits;
}

std::wstring Listing(HMENU menu, const std::wstring& indent, std::string* bits) {
  std::wstring text;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    wchar_t label[1024] = L"";
    UINT mask = MIIM_STRING | MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE | MIIM_CHECKMARKS | MIIM_STATE;
    MENUITEMINFOW item = {sizeof(item), mask, 0, 0, 0, nullptr, nullptr, nullptr, 0, label, 1024};
    GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item);
    std::wstring line = label + (item.hSubMenu ? L" >" : L" #" + Text(item.wID)) + (item.fState ? L"!" : L"");
    text += indent + (item.fType & MFT_SEPARATOR ? L"-" : line) + L"\n";
    if (bits) *bits += Bits(item.hbmpUnchecked, 1024);
    if (item.hSubMenu) text += Listing(item.hSubMenu, indent + L"  ", bits);
  }
  return text;
}

std::string Named(COLORREF colour, const std::vector<NamedColour>& names) {
  for (const NamedColour& named : names)
    if (named.colour == colour) return named.name;
  char hex[8];
  std::snprintf(hex, sizeof(hex), "#%02x%02x%02x", GetRValue(colour), GetGValue(colour), GetBValue(colour));
  return hex;
}
