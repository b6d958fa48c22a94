// The popup made by the program's own start-up, in-process and driven with messages, with
// stand-ins for the calls that must not really happen; and kestrelon.exe run whole, its screen
// compared with what Windows itself draws. Each test names the faults it catches.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <oleacc.h>
#include <shellapi.h>

#include <cstdarg>
#include <functional>
#include <sstream>

#include "app/ids.h"
#include "app/main_window.h"
#include "app/shell_helpers.h"
#include "app/startup.h"
#include "app/state.h"
#include "panel/link_column.h"
#include "panel/panel_paint.h"
#include "programs/programs_menu.h"
#include "support.h"

namespace {

POINT g_cursor = {1000, 10};  // what GetCursorPos reports: off the popup unless a test moves it
std::wstring g_log;           // what the stand-ins were asked, e.g. "show window=popup command=0;"

std::wstring Text(long long value) { return std::to_wstring(value); }
std::wstring Text(const wchar_t* text) { return text ? text : L"null"; }
std::wstring Text(HWND window) { return window == g_mainWnd ? L"popup" : window ? L"other" : L"null"; }
std::wstring TakeLog() { return std::exchange(g_log, std::wstring()); }

// Logs "name label=value...;" from labels "name label..." and gives result.
template <class Result, class... Arguments>
Result Logged(Result result, const wchar_t* labels, Arguments... arguments) {
  std::wistringstream words(labels);
  std::wstring entry, label;  // the empty first value stands for the name
  for (const std::wstring& value : {std::wstring(), Text(arguments)...})
    entry += (words >> label, entry.empty() ? label : L" " + label + L"=" + value);
  g_log += entry + L";";
  return result;
}

std::wstring Format(const wchar_t* format, ...) {  // printf into a wide string, bounded
  wchar_t text[1024];
  va_list arguments;
  va_start(arguments, format);
  std::vswprintf(text, 1024, format, arguments);
  va_end(arguments);
  return text;
}

std::string Bits(HBITMAP bitmap, int bytes, bool destroy = false) {
  std::string bits(static_cast<size_t>(bytes), '\0');
  GetBitmapBits(bitmap, bytes, &bits[0]);
  if (destroy) DeleteObject(bitmap);
  return bits;
}

// One line per item, submenus indented: "label #id" or "label >", "-" for a separator, "!"
// after an item that is greyed, checked or otherwise not plain; the bits of each item's 16 x 16
// bitmap (zeros for none) go to bits.
std::wstring Listing(HMENU menu, const std::wstring& indent = L"", std::string* bits = nullptr) {
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

// The stand-ins: each logs every argument the real call would act on and reports success.
std::wstring Opened(const std::wstring& file) {  // a launch: 256 SEE_MASK_NOASYNC, 5 SW_SHOW
  return L"open file=" + file +
         L" size=112 mask=256 verb=null parameters=null directory=null show=5 owner=null;";
}
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
BOOL WINAPI FakeAdjustTokenPrivileges(HANDLE, BOOL off, TOKEN_PRIVILEGES* set, DWORD size, TOKEN_PRIVILEGES* old,
                                      DWORD* oldSize) {
  const LUID_AND_ATTRIBUTES& first = set->Privileges[0];
  return Logged(TRUE, L"privilege all-off count luid attributes size previous", off, set->PrivilegeCount,
                first.Luid.LowPart, first.Attributes, size, old || oldSize);
}
BOOL WINAPI FakeExitWindowsEx(UINT flags, DWORD reason) { return Logged(TRUE, L"exit flags reason", flags, reason); }
BOOL WINAPI FakeLockWorkStation() { return Logged(TRUE, L"lock"); }
void WINAPI FakeNotifyWinEvent(DWORD event, HWND window, LONG object, LONG child) {  // 32778: EVENT_OBJECT_STATECHANGE
  Logged(0, event == EVENT_OBJECT_STATECHANGE ? L"state-change window object child" : L"event window object child", window, object, child);
}
LRESULT WINAPI FakeSendMessageTimeoutW(HWND to, UINT m, WPARAM w, LPARAM l, UINT f, UINT ms, PDWORD_PTR r) {
  return Logged(LRESULT(1), L"send to message w l flags ms result", to, m, w, l, f, ms, r ? L"kept" : L"null");
}
// clang-format on
#define FAKE(function) PatchImport(#function, reinterpret_cast<void*>(Fake##function))

std::wstring Tree(const wchar_t* name) { return Beside(L"..\\trees\\" + std::wstring(name)); }

// The profile a start reads: homedrive and homepath name the tree folder home, on Z:, not the
// system drive; and, unless empty, the account Wine's GetUserNameW answers in this process.
void SetProfile(const wchar_t* home, const std::wstring& account) {
  const std::wstring folder = Tree(home);
  SetEnvironmentVariableW(L"homedrive", folder.substr(0, 2).c_str());
  SetEnvironmentVariableW(L"homepath", folder.substr(2).c_str());
  if (!account.empty()) SetEnvironmentVariableW(L"WINEUSERNAME", account.c_str());
  wchar_t name[1024] = L"";
  DWORD size = 1024;
  GetUserNameW(name, &size);
  // Wine's shell gives no file icons to an account without a desktop folder.
  CreateDirectoryW((L"C:\\users\\" + std::wstring(name)).c_str(), nullptr);
  CreateDirectoryW((L"C:\\users\\" + std::wstring(name) + L"\\Desktop").c_str(), nullptr);
}

// The demo picture as the account's picture, where a start under Wine looks for it.
void GivePicture(const std::wstring& account) {
  const std::wstring folder = L"C:\\ProgramData\\Microsoft\\User Account Pictures\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  CopyFileW(Tree(L"demo-account.bmp").c_str(), (folder + account + L".bmp").c_str(), FALSE);
}

// The popup as kestrelon.exe shows it, made by its own start-up on a profile, once the pinned
// items loader has put its items into the tree; then the stand-ins answer. The home "bare" has
// no folders: its loader ends at once, with no icon lookups that would overlap a test's.
void ShowPopup(const wchar_t* home = L"bare", const std::wstring& account = L"", int pinned = 0) {
  SetProfile(home, account);
  SetCursorPos(1000, 10);  // off the popup: its real mouse moves would set a hover
  ASSERT_TRUE(OpenPopup(GetModuleHandleW(nullptr)));
  // The loader thread reaches the tree through SendMessageW: this thread serves it meanwhile.
  auto loaded = [&] {
    return TreeView_GetImageList(g_treeWnd, 0) && int(TreeView_GetCount(g_treeWnd)) == pinned;
  };
  ASSERT_TRUE(WaitFor(loaded, 10000)) << "the pinned items loader did not list " << pinned << " items";
  UpdateWindow(g_mainWnd);
  for (void* original :
       {FAKE(PostQuitMessage), FAKE(ShellExecuteExW), FAKE(GetCursorPos), FAKE(ShowWindow), FAKE(SetTimer),
        FAKE(KillTimer), FAKE(TrackPopupMenu), FAKE(OpenProcessToken), FAKE(AdjustTokenPrivileges),
        FAKE(ExitWindowsEx), FAKE(LockWorkStation), FAKE(SendMessageTimeoutW)})
    ASSERT_NE(nullptr, original) << "an import to stand in for is missing";
}

void Aim(HWND window, int x, int y) {  // GetCursorPos then reports that client point
  g_cursor = {x, y};
  ClientToScreen(window, &g_cursor);
}

COLORREF Pixel(int x, int y) {  // through the popup's own DC: what its paints drew, at once
  HDC dc = GetDC(g_mainWnd);
  COLORREF colour = GetPixel(dc, x, y);
  ReleaseDC(g_mainWnd, dc);
  return colour;
}

std::wstring Send(UINT message, WPARAM wParam, LPARAM lParam) {  // what the stand-ins were asked meanwhile
  TakeLog();
  EXPECT_EQ(0, SendMessageW(g_mainWnd, message, wParam, lParam)) << message;
  return TakeLog();
}

void MoveTo(int x, int y) {
  Aim(g_mainWnd, x, y);
  Send(WM_MOUSEMOVE, 0, 0);
}

// A colour by the name a table gives it, else "#rrggbb".
std::wstring Named(COLORREF colour, std::initializer_list<std::pair<COLORREF, const wchar_t*>> names) {
  for (const auto& named : names)
    if (named.first == colour) return named.second;
  return Format(L"#%02x%02x%02x", GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

std::string IconBits(HANDLE icon) {  // the colours, then the mask, of a 32 x 32 icon; destroys it
  ICONINFO parts = {};
  GetIconInfo(static_cast<HICON>(icon), &parts);
  std::string bits = Bits(parts.hbmColor, 4096, true) + Bits(parts.hbmMask, 128, true);
  DestroyIcon(static_cast<HICON>(icon));
  return bits;
}

HIMAGELIST ShellList(const std::wstring& path, UINT flags, int* index) {  // as the shell answers
  SHFILEINFOW info = {};
  auto list = HIMAGELIST(SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_SYSICONINDEX | flags));
  *index = info.iIcon;
  return list;
}

// The shell's small icon of a path drawn over the menu colour, in a 16 x 16 bitmap of the screen's format.
std::string ShellMenuIcon(const std::wstring& path) {
  int index;
  HIMAGELIST list = ShellList(path, SHGFI_SMALLICON, &index);
  HDC screen = GetDC(nullptr), dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 16);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT square = {0, 0, 16, 16};
  FillRect(dc, &square, GetSysColorBrush(COLOR_MENU));
  ImageList_Draw(list, index, dc, 0, 0, ILD_TRANSPARENT);
  SelectObject(dc, old);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return Bits(bitmap, 1024, true);
}

std::wstring Walk(const std::wstring& folder, std::string* bits = nullptr) {
  HMENU menu = CreatePopupMenu();
  BuildProgramsMenu(folder, std::wstring(L"*"), menu);
  std::wstring listing = L"\n" + Listing(menu, L"", bits);
  DestroyProgramsMenu(menu);
  return listing;
}

// What a screen reader finds in the popup at (0, 263), above Wine's taskbar, when the account
// has a picture: "index role name state location default-action" (0x100004 focusable | read-only,
// 0x500000 focusable | linked, 0x40 read-only; locations on the screen).
std::wstring ReaderListing(const std::wstring& account) {
  std::wstring listing =
      L"0 client \"Start menu\" 0x100004 0 263 410 748 -\n1 window SysTreeView32\n2 window Button\n"
      L"3 graphic \"Account picture of " +
      account + L"\" 0x40 304 275 352 323 -\n";
  const wchar_t* names[] = {L"Documents", L"Pictures", L"Music",         L"Downloads",
                            L"Computer",  L"Network",  L"Control Panel", L"Devices and Printers",
                            L"Run..."};
  for (int i = 0; i < 10; ++i)
    listing += Format(L"%d link \"%ls\" 0x500000 260 %d 398 %d \"Open\"\n", 4 + i,
                      i ? names[i - 1] : account.c_str(), 333 + 36 * i, 365 + 36 * i);
  return listing + L"14 window Button\n";
}

// Monitors of stand-ins, where Wine shows one: [0] holds the taskbar, [1] is the primary.
MONITORINFO g_monitors[2];
// clang-format off
HMONITOR WINAPI FakeMonitorFromRect(const RECT*, DWORD flags) { return Logged(HMONITOR(1), L"taskbar's flags", flags); }
HMONITOR WINAPI FakeMonitorFromPoint(POINT at, DWORD flags) { return Logged(HMONITOR(2), L"at x y flags", at.x, at.y, flags); }
BOOL WINAPI FakeGetMonitorInfoW(HMONITOR monitor, MONITORINFO* info) {
  if (info->cbSize != sizeof(MONITORINFO)) return FALSE;
  *info = g_monitors[reinterpret_cast<INT_PTR>(monitor) - 1];
  return TRUE;
}
// clang-format on

}  // namespace

// A wrong class, text, style, place, id or font of the popup, its captions and its controls, a
// popup that does not stand on Wine's taskbar (1024 x 768 desktop, taskbar at y 748), a wrong
// class style or cursor, a missing manifest, an account name start-up does not read, or reads
// into a buffer too small for it. Then, on monitors of stand-ins: a popup above the
// screen or on the wrong monitor for a taskbar at the top, a side, on another monitor or hidden;
// one cut off on a small monitor; one nowhere when there is no taskbar.
TEST(MainWindow, LayoutAndPlacement) {
  NONCLIENTMETRICSW metrics = {500};
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, 500, &metrics, 0);
  const NONCLIENTMETRICSW saved = metrics;
  metrics.lfMenuFont.lfHeight -= 3;  // a menu font unlike the status and message fonts, as on Windows
  SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, 500, &metrics, 0);
  const std::wstring account(300, L'k');  // longer than the longest name Windows allows
  ShowPopup(L"bare", account);
  std::wstring windows;
  for (int id : {0, IDC_SHUTDOWN, IDC_PINNEDTREE, IDC_ALLPROGRAMS}) {
    HWND window = id ? GetDlgItem(g_mainWnd, id) : g_mainWnd;
    wchar_t name[32] = L"", caption[32] = L"";
    WINDOWINFO info = {sizeof(info)};
    LOGFONTW font = {};
    GetClassNameW(window, name, 32);
    GetWindowTextW(window, caption, 32);
    GetWindowInfo(window, &info);
    HGDIOBJ shown = id ? reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)) : g_captionFont;
    GetObjectW(shown, sizeof(font), &font);  // the popup's: that of the captions it paints
    const RECT& at = info.rcWindow;
    windows += Format(L"%d %ls \"%ls\" style %08lx ex %08lx at %ld, %ld, %ld, %ld in the %ls font\n", id,
                      name, caption, info.dwStyle, info.dwExStyle, at.left, at.top, at.right, at.bottom,
                      memcmp(&metrics.lfMenuFont, &font, sizeof(font)) ? L"another" : L"menu");
  }
  wchar_t comctl[MAX_PATH] = L"";  // the manifest brings version 6, from the side-by-side store
  GetModuleFileNameW(GetModuleHandleW(L"comctl32.dll"), comctl, MAX_PATH);
  windows += Format(L"class style %x, arrow cursor %d, comctl32 6.0 %d\n",
                    unsigned(GetClassLongPtrW(g_mainWnd, GCL_STYLE)),
                    GetClassLongPtrW(g_mainWnd, GCLP_HCURSOR) == ULONG_PTR(LoadCursorW(nullptr, IDC_ARROW)),
                    wcsstr(comctl, L"6.0.") != nullptr) +
             L"account " + g_userName;
  // clang-format off
  EXPECT_EQ(L"0 Kestrelon \"\" style 96010000 ex 02000088 at 0, 263, 410, 748 in the menu font\n"
            L"5000 Button \"Shut down...\" style 50000000 ex 00000000 at 265, 706, 350, 728 in the menu font\n"
            L"9000 SysTreeView32 \"\" style 50001210 ex 00000000 at 14, 276, 244, 651 in the menu font\n"
            L"5005 Button \"     All Programs\" style 50000100 ex 00000000 at 10, 660, 248, 688 in the menu font\n"
            L"class style b, arrow cursor 1, comctl32 6.0 1\naccount " + account, windows);  // b: CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS
  // clang-format on
  SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, 500, const_cast<NONCLIENTMETRICSW*>(&saved), 0);

  for (void* original : {FAKE(MonitorFromRect), FAKE(MonitorFromPoint), FAKE(GetMonitorInfoW)})
    ASSERT_NE(nullptr, original);
  const RECT screen = {0, 0, 1024, 768};
  g_monitors[1] = {sizeof(MONITORINFO), screen, {0, 0, 1024, 700}, MONITORINFOF_PRIMARY};
  // clang-format off
  struct PlaceRow { const char* what; RECT taskbar, monitor; POINT popup; };
  const PlaceRow places[] = {
      {"bottom", {0, 748, 1024, 768}, screen, {0, 263}}, {"top", {0, 0, 1024, 40}, screen, {0, 40}},
      {"left", {0, 0, 60, 768}, screen, {60, 0}}, {"right", {964, 0, 1024, 768}, screen, {554, 0}},
      {"bottom, auto-hidden", {0, 766, 1024, 806}, screen, {0, 281}},
      {"bottom, short", {0, 688, 120, 768}, screen, {0, 203}},
      {"on a monitor right of the primary", {1920, 1040, 3200, 1080}, {1920, 0, 3200, 1080}, {1920, 555}},
      {"left, on a monitor up right", {1920, -200, 1980, 1000}, {1920, -200, 3000, 1000}, {1980, -200}},
      {"on a monitor left of the primary", {-1280, 984, 0, 1024}, {-1280, 0, 0, 1024}, {-1280, 499}},
      {"bottom of a monitor too short", {0, 460, 800, 500}, {0, 0, 800, 500}, {0, 0}},
      {"right of a monitor too narrow", {340, 0, 400, 768}, {0, 0, 400, 768}, {0, 0}},
      {"none: the primary's work area", {0, 0, 0, 0}, {}, {0, 215}}};
  // clang-format on
  std::wstring want, got;
  for (const PlaceRow& place : places) {
    g_trayRect = place.taskbar;
    g_monitors[0] = {sizeof(MONITORINFO), place.monitor, place.monitor, 0};
    POINT at = PopupOrigin();
    // MONITOR_DEFAULTTOPRIMARY (1) when there is no taskbar, else MONITOR_DEFAULTTONEAREST (2)
    const wchar_t* asked = IsRectEmpty(&place.taskbar) ? L"at x=0 y=0 flags=1;" : L"taskbar's flags=2;";
    want += Format(L"%hs: %ld, %ld, %ls\n", place.what, place.popup.x, place.popup.y, asked);
    got += Format(L"%hs: %ld, %ld, %ls\n", place.what, at.x, at.y, TakeLog().c_str());
  }
  EXPECT_EQ(want, got);
}

// A wrong row of the message table: what ends the run, arms or kills the dismissal timer,
// launches or hides; over the whole 16-bit range, a command that acts when it should not, or
// wrongly, from a menu or from a control; a wrong session menu or session action.
TEST(MainWindow, MessageTable) {
  ShowPopup();
  CoInitialize(nullptr);  // so that each launch only counts its own COM entry
  const std::wstring quit = L"quit code=0;",
                     menu = L"menu x=350 y=728 flags=32 reserved=0 owner=popup avoid=0;";
  // clang-format off
  struct MessageRow { UINT message; WPARAM wParam; LPARAM lParam; std::wstring effect; };
  const MessageRow rows[] = {{WM_KEYDOWN, 'A', 0, L""}, {WM_KEYDOWN, VK_ESCAPE, 0, quit}, {WM_DESTROY, 0, 0, quit},
      {WM_ACTIVATEAPP, TRUE, 0, L""}, {WM_LBUTTONUP, 0, 0, L""}, {UM_CLOSEMENU, 0, 0, L"show window=popup command=0;" + quit},
      {WM_ACTIVATEAPP, FALSE, 0, L"timer window=popup id=7000 ms=1000 callback=0;"},
      {WM_TIMER, 42, 0, L"kill window=popup id=7000;" + quit},
      {WM_COMMAND, MAKEWPARAM(IDC_SHUTDOWN, BN_CLICKED), LPARAM(GetDlgItem(g_mainWnd, IDC_SHUTDOWN)),
       menu + L"\nLog off #5003\nLock #5004\n-\nRestart #5001\n-\nShut down #5002\n"}};
  // clang-format on
  std::wstring want, got;
  for (const MessageRow& row : rows) {
    want += Format(L"message %u %llu: ", row.message, row.wParam) + row.effect + L"\n";
    got += Format(L"message %u %llu: ", row.message, row.wParam) + Send(row.message, row.wParam, row.lParam) +
           L"\n";
  }
  // What a second start asks of the open popup: to close, waiting at most 3 s if it hangs (2:
  // SMTO_ABORTIFHUNG).
  want += L"a second start: send to=popup message=31982 w=0 l=0 flags=2 ms=3000 result=null;";
  got += L"a second start: " + (CloseOpenPopup() ? TakeLog() : L"no popup found");
  EXPECT_EQ(want, got);

  g_programEntries = {{1, L"C:\\one"}, {4999, L"C:\\below"}, {5006, L"C:\\above"}, {65535, L"C:\\last"}};
  std::wstring fromMenu, fromControl;  // each id's first line of effects, but for a launch of ""
  for (int id = 0; id <= 0xFFFF; ++id) {
    std::wstring asMenu = Send(WM_COMMAND, static_cast<WPARAM>(id), 0);
    std::wstring asControl = Send(WM_COMMAND, MAKEWPARAM(id, 1), 0);  // a notification code: from a control
    if (asMenu != Opened(L"") + quit)
      fromMenu += Text(id) + L" " + asMenu.substr(0, asMenu.find(L'\n')) + L"\n";
    if (!asControl.empty())
      fromControl += Text(id) + L" " + asControl.substr(0, asControl.find(L'\n')) + L"\n";
  }
  // 40: TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY; 19: SeShutdownPrivilege; 2: SE_PRIVILEGE_ENABLED
  const std::wstring on =
      L"token process=this access=40;privilege all-off=0 count=1 luid=19 attributes=2 size=0 previous=0;";
  const std::wstring acting = L"5000 " + menu + L"\n5001 " + on + L"exit flags=2 reason=0;" + quit +
                              L"\n5002 " + on + L"exit flags=8 reason=0;" + quit + L"\n5003 " + on +
                              L"exit flags=0 reason=0;" + quit + L"\n5004 " + on + L"lock;" + quit +
                              L"\n5005 menu x=11 y=693 flags=32 reserved=0 owner=popup avoid=0;\n";
  EXPECT_EQ(L"1 " + Opened(L"C:\\one") + quit + L"\n4999 " + Opened(L"C:\\below") + quit + L"\n" + acting +
                L"5006 " + Opened(L"C:\\above") + quit + L"\n65535 " + Opened(L"C:\\last") + quit + L"\n",
            fromMenu);
  EXPECT_EQ(acting, fromControl);
}

// Stand-ins for the account picture's Windows path: the answer to the program's Wine check and
// shell32's export 261, which writes g_picturePath (or, when that is empty, fills the buffer).
std::wstring g_picturePath;
FARPROC(WINAPI* g_realGetProcAddress)(HMODULE, LPCSTR);
HANDLE(WINAPI* g_realLoadImageW)(HINSTANCE, LPCWSTR, UINT, int, int, UINT);
// clang-format off
HRESULT WINAPI FakeUserPicturePath(LPCWSTR user, DWORD flags, LPWSTR buffer, UINT capacity) {
  wmemset(buffer, L'x', capacity);
  if (!g_picturePath.empty()) wcscpy_s(buffer, capacity, g_picturePath.c_str());
  return Logged(S_OK, L"picture-path user flags capacity", user, flags, capacity);
}
FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name) {
  if (!IS_INTRESOURCE(name) && !strcmp(name, "wine_get_version")) return nullptr;
  if (IS_INTRESOURCE(name) && LOWORD(name) == 261 && module == GetModuleHandleW(L"shell32.dll"))
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(FakeUserPicturePath));
  return g_realGetProcAddress(module, name);
}
int WINAPI FakeDrawTextW(HDC dc, LPCWSTR text, int length, RECT* r, UINT format) {  // draws through DrawTextExW
  Logged(0, L"caption text length left top right bottom format", text, length, r->left, r->top, r->right, r->bottom, format);
  return DrawTextExW(dc, const_cast<LPWSTR>(text), length, r, format, nullptr);
}
HANDLE WINAPI FakeLoadImageW(HINSTANCE module, LPCWSTR name, UINT type, int width, int height, UINT flags) {
  Logged(0, L"load module file type width height flags", module != nullptr, name, type, width, height, flags);
  return g_realLoadImageW(module, name, type, width, height, flags);
}
// clang-format on

// Under a scheme where each system colour the panel uses is distinct: an outline, separator,
// frame, border or column drawn in the wrong colour or a pixel off; a fill that is not white; a
// highlight not stretched over its slot, left behind after several moves, gone after a system
// erase or over its caption; a caption on an opaque background; an account picture that
// start-up does not load, not loaded as the shell names it, not scaled to 48 x 48, read past its
// buffer, or a frame that is not plain where there is none.
TEST(Panel, PixelsAndAccountPicture) {
  const int kinds[] = {COLOR_MENU, COLOR_GRAYTEXT, COLOR_3DLIGHT, COLOR_GRADIENTACTIVECAPTION};
  const COLORREF M = RGB(200, 0, 0), G = RGB(0, 100, 0), L = RGB(0, 0, 200), F = RGB(200, 200, 0);
  const COLORREF scheme[] = {M, G, L, F}, W = RGB(255, 255, 255), B = RGB(125, 125, 125);
  const COLORREF saved[] = {GetSysColor(kinds[0]), GetSysColor(kinds[1]), GetSysColor(kinds[2]),
                            GetSysColor(kinds[3])};
  const COLORREF H = RGB(0x9C, 0xB4, 0xCE), O = RGB(0x3C, 0x4A, 0x5E);  // the art's upper half, its outline
  auto name = [&](COLORREF colour) {
    return Named(colour, {{M, L"menu red"},
                          {G, L"grey-text green"},
                          {L, L"3-D light blue"},
                          {F, L"frame yellow"},
                          {W, L"white"},
                          {B, L"border grey"},
                          {H, L"highlight blue"},
                          {O, L"highlight outline"},
                          {RGB(0xB4, 0x64, 0x28), L"picture centre"},
                          {RGB(0x5A, 0x9A, 0xD2), L"picture top left"},
                          {RGB(0x94, 0xB7, 0xD2), L"picture bottom right"}});
  };
  auto picture = [&] {  // the 48 x 48 at its centre, first and last pixels
    return name(Pixel(328, 31)) + L", " + name(Pixel(304, 12)) + L", " + name(Pixel(351, 59));
  };
  SetSysColors(4, kinds, scheme);
  CreateDrawingResources();  // as at a start under this scheme
  GivePicture(L"Kestrel Holder");
  ShowPopup(L"bare", L"Kestrel Holder");
  EXPECT_EQ(L"picture centre, picture top left, picture bottom right", picture()) << "loaded by start-up";
  for (int y : {160, 110, 150}) MoveTo(300, y);  // the highlight moves to "Pictures" from "Documents"
  UpdateWindow(g_mainWnd);
  // clang-format off
  struct PixelRow { int x, y; COLORREF colour; };
  const PixelRow rows[] = {  // outside, on and inside each edge: panel, separator, frame, border, column
      {8, 200, G}, {9, 200, M}, {10, 200, W}, {249, 200, M}, {250, 200, G}, {248, 200, W}, {100, 7, G}, {100, 8, M},
      {100, 9, W}, {100, 427, M}, {100, 428, G}, {100, 426, W}, {13, 393, W}, {14, 393, L}, {243, 393, L},
      {244, 393, W}, {100, 392, W}, {100, 394, W}, {299, 36, G}, {300, 36, L}, {301, 36, F}, {355, 36, L},
      {356, 36, G}, {328, 7, G}, {328, 8, L}, {328, 9, F}, {328, 63, L}, {328, 64, G}, {302, 36, F}, {303, 36, B},
      {352, 36, B}, {353, 36, F}, {328, 10, F}, {328, 11, B}, {328, 60, B}, {328, 61, F}, {260, 200, G},
      {397, 200, G}, {300, 70, G}, {300, 425, G}, {9, 8, G}, {10, 8, M}, {9, 9, M}, {10, 9, W},  // corners
      {300, 8, G}, {301, 8, L}, {300, 9, L}, {301, 9, F},
      {390, 146, H}, {390, 110, G}, {390, 141, G}, {390, 142, O}, {397, 160, O}, {380, 173, O},  // stretched
      {268, 186, G}};  // no text background behind a caption
  // clang-format on
  for (const wchar_t* when : {L"as the moves painted it", L"after a system erase"}) {
    if (when[0] == L'a')
      RedrawWindow(g_mainWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    std::wstring want, got;
    for (const PixelRow& row : rows) {
      want += Format(L"%d, %d: ", row.x, row.y) + name(row.colour) + L"\n";
      got += Format(L"%d, %d: ", row.x, row.y) + name(Pixel(row.x, row.y)) + L"\n";
    }
    EXPECT_EQ(want, got) << when;
  }
  int white = 0;  // where the caption "Pictures" begins, over its highlight
  for (int i = 0; i < 62 * 16; ++i) white += Pixel(268 + i % 62, 150 + i / 62) == W;
  EXPECT_GT(white, 10) << "white pixels of the caption \"Pictures\" over its highlight";
  MoveTo(300, 104);  // off the slots: the highlight goes
  UpdateWindow(g_mainWnd);
  EXPECT_EQ(L"grey-text green", name(Pixel(390, 146))) << "where the highlight was";

  g_realGetProcAddress = reinterpret_cast<decltype(g_realGetProcAddress)>(FAKE(GetProcAddress));
  g_realLoadImageW = reinterpret_cast<decltype(g_realLoadImageW)>(FAKE(LoadImageW));
  const std::wstring good = Tree(L"demo-account.bmp"),
                     asked = L"picture-path user=null flags=0 capacity=1024;";
  // No module, IMAGE_BITMAP (0) at 48 x 48, LR_LOADFROMFILE (16); "": a buffer with no terminator
  const std::wstring loads = asked + L"load module=0 file=" + good + L" type=0 width=48 height=48 flags=16;";
  std::wstring want, got;
  for (const std::wstring& path : {good, std::wstring()}) {
    g_picturePath = path;
    g_userPicture = nullptr;
    LoadUserPicture();
    RedrawWindow(g_mainWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    want += path.empty() ? asked + L" frame yellow, frame yellow, frame yellow\n"
                         : loads + L" picture centre, picture top left, picture bottom right\n";
    got += TakeLog() + L" " + picture() + L"\n";
  }
  EXPECT_EQ(want, got);
  SetSysColors(4, kinds, saved);
}

// Wrong slot bounds, an invalidation missing (also inside the same slot) or extra, a hot-state
// event missing, extra or for the wrong link, wrong link targets, a link opened from a band
// between slots or from a home value too long to read.
TEST(LinkColumn, HoverPaintAndRelease) {
  GivePicture(TEST_ACCOUNT);  // the links are then children 4 to 13 of the popup's accessible object
  ShowPopup();
  ASSERT_NE(nullptr, FAKE(NotifyWinEvent));
  const RECT links = {260, 70, 398, 426}, none = {};  // the column, nothing
  const std::wstring home = Tree(L"bare"), quit = L"quit code=0;";
  auto hot = [](int child) { return Format(L"state-change window=popup object=-4 child=%d;", child); };
  // clang-format off
  struct MoveRow { POINT cursor; RECT invalid; std::wstring events, opens; };  // opens: by a click there
  const MoveRow moves[] = {
      {{300, 60}, none, L"", L""}, {{300, 110}, links, hot(5), home + L"\\Documents"},
      {{300, 120}, links, L"", home + L"\\Documents"}, {{300, 103}, links, hot(5), L""}, {{300, 104}, none, L"", L""},
      {{397, 75}, links, hot(4), home}, {{398, 75}, links, hot(4), L""}, {{300, 174}, none, L"", L""},
      {{300, 173}, links, hot(6), home + L"\\Pictures"}, {{259, 150}, links, hot(6), L""},
      {{260, 425}, links, hot(13), L".\\Run.lnk"}, {{300, 224}, links, hot(13) + hot(8), home + L"\\Downloads"},
      {{300, 260}, links, hot(8) + hot(9), L".\\Computer.lnk"}, {{300, 296}, links, hot(9) + hot(10), L".\\Network.lnk"},
      {{300, 332}, links, hot(10) + hot(11), L".\\Control Panel.lnk"},
      {{300, 368}, links, hot(11) + hot(12), L".\\Devices and Printers.lnk"},
      {{300, 188}, links, hot(12) + hot(7), home + L"\\Music"}};
  // clang-format on
  std::wstring want, got;
  for (const MoveRow& row : moves) {
    RECT update = {};
    ValidateRect(g_mainWnd, nullptr);
    Aim(g_mainWnd, row.cursor.x, row.cursor.y);
    std::wstring events = Send(WM_MOUSEMOVE, 0, 0);
    GetUpdateRect(g_mainWnd, &update, FALSE);
    const RECT& i = row.invalid;
    const wchar_t* format = L"%ld, %ld: invalid %ld, %ld, %ld, %ld; ";
    want += Format(format, row.cursor.x, row.cursor.y, i.left, i.top, i.right, i.bottom) + row.events +
            L" click: " + (row.opens.empty() ? L"" : Opened(row.opens) + quit) + L"\n";
    got += Format(format, row.cursor.x, row.cursor.y, update.left, update.top, update.right, update.bottom) +
           events + L" click: " + Send(WM_LBUTTONUP, 0, 0) + L"\n";
  }
  EXPECT_EQ(want, got);
  // Wine draws DT_PATH_ELLIPSIS (16384) text that is not single-line unshortened, where Windows
  // shortens it in the middle: what the screen cannot show, the request does.
  ASSERT_NE(nullptr, FAKE(DrawTextW));
  RedrawWindow(g_mainWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  const std::wstring first = L"caption text=" + std::wstring(TEST_ACCOUNT) +
                             L" length=-1 left=268 top=78 right=398 bottom=102 format=16384;";
  EXPECT_EQ(first, TakeLog().substr(0, first.size()))
      << "the whole name, of which the caption shows what fits";
  SetEnvironmentVariableW(L"homepath", (L"\\" + std::wstring(1500, L'x')).c_str());
  ReadHomeFolders();  // "Music" opens nothing now
  EXPECT_EQ(L"home too long: " + quit, L"home too long: " + Send(WM_LBUTTONUP, 0, 0));
}

// A pinned list start-up does not fill, or fills wrongly (names left out case-blind or not at
// all, shown texts, paths and parameters out of step, icons of other items, small, without a
// mask or that change when selected; the ninth item's icon is looked up while the first eight are
// listed); a click that opens the wrong item or one below the rows, a
// right click that opens one; a folder not built from the home values.
TEST(PinnedItems, ListingClickAndFolder) {
  ShowPopup(L"home", L"kes", 9);
  const std::wstring folder = Tree(L"home") + L"\\Documents\\StartItems\\";
  auto shellIcon = [](const std::wstring& path) {  // the shell's large icon of the path
    int index;
    HIMAGELIST list = ShellList(path, 0, &index);
    return IconBits(ImageList_GetIcon(list, index, ILD_NORMAL));
  };
  ASSERT_NE(shellIcon(folder + L"Readme.txt"), shellIcon(folder + L"Tools")) << "icons the shell tells apart";
  EXPECT_TRUE(shellIcon(folder + L"Tools") == IconBits(GetLargeIconForPath(folder + L"Tools")))
      << "GetLargeIconForPath of a folder: not the shell's large icon of it";
  // Its colours only: an image list keeps a mask of its own for it.
  const std::string icon46 = IconBits(ExtractIconW(nullptr, L"shell32.dll", 46)).substr(0, 4096);
  HIMAGELIST images = TreeView_GetImageList(g_treeWnd, TVSIL_NORMAL);
  std::wstring listing;
  for (HTREEITEM item = TreeView_GetRoot(g_treeWnd); item; item = TreeView_GetNextSibling(g_treeWnd, item)) {
    wchar_t text[64] = L"";
    TVITEMW got = {TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE, item, 0, 0, text, 64};
    TreeView_GetItem(g_treeWnd, &got);
    size_t at = size_t(got.lParam);  // the position of the item's path, if it names one
    std::wstring path = at < g_pinnedPaths.size() ? g_pinnedPaths[at] : folder + L"(no path)";
    std::string is = IconBits(ImageList_GetIcon(images, got.iImage, ILD_NORMAL));
    auto icon = is == shellIcon(path) ? L" own" : is.find(icon46) ? L" ?" : L" 46";
    listing += text + (L" " + Text(got.lParam)) + L" " + path.substr(path.find(L"\\StartItems\\") + 12) +
               icon + (got.iImage == got.iSelectedImage ? L"\n" : L" !\n");
  }
  // clang-format off
  EXPECT_EQ(L"Desktop.ini 0 Desktop.ini own\nMail 1 Mail own\nMail 2 Mail.lnk own\nNotepad 3 Notepad.lnk own\n"
            L"notes.lnk 4 notes.lnk.txt own\nReadme.txt 5 Readme.txt own\nTools 6 Tools own\n"
            L"Windows Update 7 Windows Update.lnk 46\nwindows update 8 windows update.lnk own\n", listing);
  // Right of the text: a click below the rows, a right click and a click on the first item.
  const int row = TreeView_GetItemHeight(g_treeWnd);  // in pixels: the rows follow from the top
  struct ClickRow { UINT code; int y; std::wstring effect; };
  const ClickRow clicks[] = {{NM_CLICK, 9 * row + 4, L""}, {NM_RCLICK, row / 2, L""},
      {NM_CLICK, row / 2, Opened(folder + L"Desktop.ini") + L"show window=popup command=0;quit code=0;"}};
  // clang-format on
  std::wstring want, got;
  for (const ClickRow& click : clicks) {
    NMHDR header = {nullptr, 0, click.code};  // from whichever control
    Aim(g_treeWnd, 220, click.y);
    want += Format(L"code %d at y %d: ", int(click.code), click.y) + click.effect + L"\n";
    got +=
        Format(L"code %d at y %d: ", int(click.code), click.y) + Send(WM_NOTIFY, 0, LPARAM(&header)) + L"\n";
  }
  EXPECT_EQ(want, got);
}

// clang-format off
decltype(&CoWaitForMultipleHandles) g_realCoWait;
HRESULT WINAPI FakeCoWaitForMultipleHandles(DWORD flags, DWORD ms, ULONG count, HANDLE* handles, DWORD* at) {
  return Logged(g_realCoWait(flags, ms, count, handles, at), L"wait flags ms count", flags, ms, count);
}
// clang-format on

// Wrong labels (the shortcut rule: exact case, anywhere in the name, the last four characters
// cut), names not left out (or left out case-blind), folders that take no number, ids
// inside 5000-5005 or past 65535, paths of other items, icons missing or of other paths, a
// folder link walked for ever or a deep folder left unwalked; a wait for the icon lookups that
// lets no COM call into this apartment, lets input in, or ends before its worker.
TEST(ProgramsMenu, ListingIdsAndPaths) {
  ShowPopup();
  std::wstring root = Tree(L"programs"), wrap = Tree(L"wrap"), icons = Tree(L"icons");
  auto paths = [](std::initializer_list<int> ids) {
    std::wstring found;
    for (int id : ids) found += Text(id) + L": " + FindProgramPath(id) + L"\n";
    return found;
  };
  g_lastMenuId = 4997;
  // clang-format off
  EXPECT_EQ(L"\nApp #4998\nCaps >\n  DESKTOP.INI #5006\nEmpty >\nNames >\n   #5009\n  lnk #5010\n"
            L"  MAIL #5011\n  Mail.Lnk #5012\nSite.url #5013\nTom & Jerry.txt #5014\nTool.lnk #5015\n"
            L"Tools >\n  Inner.txt #5017\nUpper >\n  Kept.txt #5019\n", Walk(root));
  // clang-format on
  EXPECT_EQ(L"4998: " + root + L"\\App.lnk\n4999: \n5015: " + root + L"\\Tool.lnk.bak\n",
            paths({4998, 4999, 5015}));

  ASSERT_NE(ShellMenuIcon(icons + L"\\button.ico"), ShellMenuIcon(icons + L"\\Folder"))
      << "icons the shell tells apart";
  std::string bits;  // each item's bitmap, beside the shell's small icon of its path over the menu colour
  g_lastMenuId = 0;
  EXPECT_EQ(L"\nbutton.ico #1\nFolder >\n  Inner.txt #3\nReadme.txt #4\nrightarrow.ico #5\n",
            Walk(icons, &bits));
  std::wstring want, got;
  const wchar_t* items[] = {L"button.ico", L"Folder", L"Folder\\Inner.txt", L"Readme.txt", L"rightarrow.ico"};
  for (size_t i = 0; i < 5; ++i) {
    want += items[i] + std::wstring(L": the shell's icon\n");
    bool same = bits.substr(i * 1024, 1024) == ShellMenuIcon(icons + L"\\" + items[i]);
    got += items[i] + std::wstring(same ? L": the shell's icon\n" : L": another bitmap\n");
  }
  EXPECT_EQ(want, got);
  g_lastMenuId = 65533;  // past 65535 numbering starts over at 1 and forgets finished presses
  EXPECT_EQ(L"\na.txt #65534\nb.txt #65535\nc.txt #1\n", Walk(wrap));
  EXPECT_EQ(L"1: " + wrap + L"\\c.txt\n4998: \n", paths({1, 4998}));
  EXPECT_EQ(L"\n" + std::wstring(150, L'D') + L" >\n  x.txt #3\nL" + std::wstring(250, L'l') +
                L".txt #4\nLoop >\n" + std::wstring(251, L'S') + L" #6\n",
            Walk(Tree(L"loop")));  // the link back to its folder stays empty
  // The wait for a worker lets COM calls into this apartment, and no input: a lookup may call an
  // icon handler COM hosts here. It ends only with the worker, which uses the waiting frame.
  g_realCoWait = reinterpret_cast<decltype(g_realCoWait)>(FAKE(CoWaitForMultipleHandles));
  Walk(Tree(L"many"));
  EXPECT_EQ(L"wait flags=0 ms=4294967295 count=1;", TakeLog());  // no flags, INFINITE, the one worker
}

// kestrelon.exe as a user starts it: what only a whole run shows.

namespace {

constexpr DWORD kSeeThrough = 0xFF000000;  // a pixel of a drawing that shows whatever lies under it

struct Pixels {  // of an area, rows from the top, as a DIB holds them (0x00rrggbb)
  int width, height;
  std::vector<DWORD> bits;
  DWORD at(int x, int y) const { return bits[size_t(y) * size_t(width) + size_t(x)]; }
};

Pixels Draw(int width, int height, COLORREF background, const std::function<void(HDC)>& paint) {
  BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB}};
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  HBRUSH brush = CreateSolidBrush(background);
  RECT all = {0, 0, width, height};
  FillRect(dc, &all, brush);
  paint(dc);
  GdiFlush();
  auto first = static_cast<DWORD*>(bits);
  Pixels pixels = {width, height, std::vector<DWORD>(first, first + width * height)};
  SelectObject(dc, old);
  for (HGDIOBJ object : {HGDIOBJ(brush), HGDIOBJ(bitmap)}) DeleteObject(object);
  DeleteDC(dc);
  return pixels;
}

// What Windows draws, whatever lies under it: the smallest box that holds the pixels the drawing
// covers whole, where the rest is see-through.
Pixels Ink(int width, int height, const std::function<void(HDC)>& paint) {
  Pixels black = Draw(width, height, RGB(0, 0, 0), paint),
         white = Draw(width, height, RGB(255, 255, 255), paint);
  int left = width, top = height, right = 0, bottom = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (black.at(x, y) == white.at(x, y))
        left = std::min(left, x), top = std::min(top, y), right = std::max(right, x + 1),
        bottom = std::max(bottom, y + 1);
  Pixels ink = {std::max(0, right - left), std::max(0, bottom - top), {}};
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x)
      ink.bits.push_back(black.at(x, y) == white.at(x, y) ? black.at(x, y) : kSeeThrough);
  return ink;
}

// Whether the drawing stands whole somewhere inside an area of the screen.
const wchar_t* Shown(const Pixels& screen, RECT area, const Pixels& part) {
  auto matches = [&](int left, int top) {
    for (int y = 0; y < part.height; ++y)
      for (int x = 0; x < part.width; ++x)
        if (part.at(x, y) != kSeeThrough && screen.at(left + x, top + y) != part.at(x, y)) return false;
    return part.width > 0;
  };
  for (int top = area.top; top + part.height <= area.bottom; ++top)
    for (int left = area.left; left + part.width <= area.right; ++left)
      if (matches(left, top)) return L"as Windows draws it";
  return L"missing or otherwise";
}

Pixels Written(const std::wstring& text, COLORREF colour, SIZE box, UINT format) {  // in the menu font
  return Ink(box.cx, box.cy, [&](HDC dc) {
    NONCLIENTMETRICSW metrics = {sizeof(metrics)};
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    HGDIOBJ old = SelectObject(dc, CreateFontIndirectW(&metrics.lfMenuFont));
    SetTextColor(dc, colour);
    SetBkMode(dc, TRANSPARENT);
    RECT all = {0, 0, box.cx, box.cy};
    DrawTextW(dc, text.c_str(), -1, &all, format);
    DeleteObject(SelectObject(dc, old));
  });
}

// What the popup shows, a line per thing a user looks at; its pinned items are in folder.
std::wstring LookAt(HWND popup, const std::wstring& account, const std::wstring& folder) {
  RECT place;
  GetWindowRect(popup, &place);
  const Pixels screen = Draw(410, 485, 0, [&](HDC dc) {
    HDC desktop = GetDC(nullptr);
    BitBlt(dc, 0, 0, 410, 485, desktop, place.left, place.top, SRCCOPY);
    ReleaseDC(nullptr, desktop);
  });
  std::wstring seen;
  // clang-format off
  struct Caption { std::wstring text; int top, bottom; };
  const Caption captions[] = {{account, 78, 102}, {L"Documents", 113, 138}, {L"Pictures", 150, 174},
      {L"Music", 186, 210}, {L"Downloads", 222, 246}, {L"Computer", 258, 282}, {L"Network", 293, 318},
      {L"Control Panel", 330, 354}, {L"Devices and Printers", 366, 390}, {L"Run...", 402, 426}};
  // clang-format on
  for (const Caption& caption : captions) {  // white, shortened as Windows shortens paths
    Pixels drawn =
        Written(caption.text, RGB(255, 255, 255), {130, caption.bottom - caption.top}, DT_PATH_ELLIPSIS);
    seen += Format(L"caption \"%.16ls\": %ls\n", caption.text.c_str(),
                   Shown(screen, {268, caption.top, 398, caption.bottom}, drawn));
  }
  const RECT tree = {14, 13, 244, 388};
  for (const wchar_t* name : {L"Readme.txt", L"Tools", L"button.ico"}) {
    int index;
    HIMAGELIST list = ShellList(folder + name, 0, &index);
    Pixels icon = Ink(32, 32, [&](HDC dc) { ImageList_Draw(list, index, dc, 0, 0, ILD_NORMAL); });
    Pixels text = Written(name, GetSysColor(COLOR_WINDOWTEXT), {200, 30}, 0);
    seen += Format(L"pinned %ls: icon %ls, ", name, Shown(screen, tree, icon)) +
            Format(L"text %ls\n", Shown(screen, tree, text));
  }
  Pixels arrow = Ink(16, 16, [](HDC dc) {
    HANDLE icon = LoadImageW(GetModuleHandleW(nullptr), L"IDI_RIGHTARROW", IMAGE_ICON, 16, 16, 0);
    DrawIconEx(dc, 0, 0, HICON(icon), 16, 16, 0, nullptr, DI_NORMAL);
    DestroyIcon(HICON(icon));
  });
  seen += Format(L"arrow on \"All Programs\": %ls\n", Shown(screen, {10, 397, 248, 425}, arrow));
  auto colour = [&](int x, int y) {
    DWORD v = screen.at(x, y);
    return Named(RGB(GetBValue(v), GetGValue(v), GetRValue(v)),
                 {{RGB(0xB4, 0x64, 0x28), L"picture centre"},
                  {RGB(0x5A, 0x9A, 0xD2), L"picture top left"},
                  {RGB(0x94, 0xB7, 0xD2), L"picture bottom right"},
                  {RGB(125, 125, 125), L"grey border"},
                  {GetSysColor(COLOR_GRADIENTACTIVECAPTION), L"frame fill"}});
  };  // the 48 x 48 picture's centre, first and last pixels, then leftwards of it, its border and frame
  seen += L"account picture: " + colour(328, 31) + L", " + colour(304, 12) + L", " + colour(351, 59) + L", " +
          colour(303, 36) + L", " + colour(302, 36) + L"\n";
  return seen;
}

}  // namespace

// A run whose start-up leaves out a step (an account name never read, a picture never loaded, a
// pinned list never filled), or whose screen shows less than it holds (a list filled but never
// painted again, a button without its arrow, captions cut or shortened otherwise); a second start
// that shows a popup of its own or leaves the first open; a run that does not end with exit code
// 0; a direct import of a library only the popup needs, which every second start would load.
TEST(EndToEnd, WholeRun) {
  const std::wstring account = TEST_ACCOUNT;  // the user the tests run as (tests/CMakeLists.txt)
  SetProfile(L"run", L"");
  GivePicture(account);
  SetCursorPos(1000, 10);
  PROCESS_INFORMATION first = Start(Tree(L"launch"));
  HWND popup = ShownWindow(L"Kestrelon", 10000);
  ASSERT_NE(nullptr, popup);
  std::wstring want, seen;
  for (const wchar_t* caption :
       {account.c_str(), L"Documents", L"Pictures", L"Music", L"Downloads", L"Computer", L"Network",
        L"Control Panel", L"Devices and Printers", L"Run..."})
    want += Format(L"caption \"%.16ls\": as Windows draws it\n", caption);
  for (const wchar_t* name : {L"Readme.txt", L"Tools", L"button.ico"})
    want += Format(L"pinned %ls: icon as Windows draws it, text as Windows draws it\n", name);
  want +=
      L"arrow on \"All Programs\": as Windows draws it\n"
      L"account picture: picture centre, picture top left, picture bottom right, grey border, frame fill\n";
  const std::wstring pinned = Tree(L"run") + L"\\Documents\\StartItems\\";
  WaitFor([&] { return (seen = LookAt(popup, account, pinned)) == want; }, 10000);  // until it is all painted
  EXPECT_EQ(want, seen);
  CoInitialize(nullptr);  // a screen reader's apartment
  EXPECT_EQ(ReaderListing(account), AccessibleListing(popup))
      << "as a screen reader in another process finds it";

  EXPECT_EQ(0, ExitCode(Start(Beside(L"")))) << "a second start";
  EXPECT_EQ(0, ExitCode(first)) << "the first run, closed by the second";
  auto base = reinterpret_cast<BYTE*>(
      LoadLibraryExW(Beside(L"kestrelon.exe").c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
  ASSERT_NE(nullptr, base);
  std::string dlls;
  for (auto dll = Imports(base); dll->Name; ++dll)
    dlls += reinterpret_cast<char*>(base + dll->Name) + std::string(" ");
  EXPECT_EQ("ADVAPI32.dll GDI32.dll KERNEL32.dll msvcrt.dll USER32.dll ", dlls);
}

VARIANT Child(LONG id, VARTYPE type = VT_I4) {
  VARIANT variant = {};
  variant.vt = type;
  variant.lVal = id;
  return variant;
}

// A screen reader's questions about one child, by child id: the result of each call (name,
// role, state, location, child object, next, default action, doing it), then what the
// stand-ins were asked.
std::wstring Answers(IAccessible* popup, VARIANT id) {
  BSTR name = nullptr, action = nullptr;
  VARIANT answer = {};
  LONG at = 0;
  IDispatch* child = nullptr;
  HRESULT results[] = {popup->get_accName(id, &name),
                       popup->get_accRole(id, &answer),
                       popup->get_accState(id, &answer),
                       popup->accLocation(&at, &at, &at, &at, id),
                       popup->get_accChild(id, &child),
                       popup->accNavigate(NAVDIR_NEXT, id, &answer),
                       popup->get_accDefaultAction(id, &action),
                       popup->accDoDefaultAction(id)};
  SysFreeString(name);
  SysFreeString(action);
  std::wstring row;
  for (HRESULT result : results) row += Format(L"%#lx ", result);
  return row + TakeLog();
}

// A child missing, out of reading order, with a wrong role, name, state, screen rectangle or
// default action; no object for OBJID_CLIENT. A link hit on its right or bottom edge or in a
// band, the picture missed, a window or the popup answered otherwise than Windows' own object.
// A state-change event missing, extra or for the wrong link, or no hot state; a default action
// that opens other than a click does, or does not end the run. A bad child id that is taken, or
// acts; an object that answers once the popup is gone.
TEST(Accessibility, ChildrenHitTestsEventsAndActions) {
  GivePicture(TEST_ACCOUNT);
  ShowPopup();
  IAccessible* popup = nullptr;
  ASSERT_EQ(S_OK, AccessibleObjectFromWindow(g_mainWnd, OBJID_CLIENT, IID_PPV_ARGS(&popup)));
  EXPECT_EQ(ReaderListing(TEST_ACCOUNT), AccessibleListing(g_mainWnd));
  std::wstring want,
      got;  // screen points: a link, its right and bottom edges, a band, the picture's corners...
  for (const wchar_t* row :
       {L"300, 340: 4", L"397, 364: 4", L"398, 340: 0", L"300, 365: 0", L"300, 368: 0", L"300, 369: 5",
        L"304, 275: 3", L"351, 322: 3", L"352, 300: 0", L"100, 400: SysTreeView32", L"100, 670: Button",
        L"300, 715: Button", L"280, 290: 0"}) {
    LONG x = 0, y = 0;
    swscanf(row, L"%ld, %ld", &x, &y);
    VARIANT hit = {};
    IAccessible* object = nullptr;
    HWND window = nullptr;
    wchar_t name[32] = L"";
    if (SUCCEEDED(popup->accHitTest(x, y, &hit)) && hit.vt == VT_DISPATCH &&
        SUCCEEDED(hit.pdispVal->QueryInterface(IID_PPV_ARGS(&object))))
      WindowFromAccessibleObject(object, &window), object->Release();
    GetClassNameW(window, name, 32);
    want += row + std::wstring(L"\n");
    got += Format(L"%ld, %ld: ", x, y) + (hit.vt == VT_I4 ? Text(hit.lVal) : name) + L"\n";
    VariantClear(&hit);
  }
  MoveTo(300, 150);  // over "Pictures"
  VARIANT state = {};
  popup->get_accState(Child(6), &state);
  want += L"Pictures 0x500080\n";  // hot-tracked as well
  got += Format(L"Pictures %#lx\n", state.lVal);
  // Reading order: first and last child of the popup, next and previous along it (vt 9 is a
  // window's object, 3 a painted child's id; 0x1, S_FALSE: nowhere to go).
  // clang-format off
  struct NavigationRow { LONG direction, from; const wchar_t* to; };
  const NavigationRow steps[] = {{NAVDIR_FIRSTCHILD, 0, L"0 9 0"}, {NAVDIR_LASTCHILD, 0, L"0 9 0"},
      {NAVDIR_FIRSTCHILD, 5, L"0x80070057 0 0"}, {NAVDIR_NEXT, 1, L"0 9 0"}, {NAVDIR_NEXT, 2, L"0 3 3"},
      {NAVDIR_NEXT, 3, L"0 3 4"}, {NAVDIR_NEXT, 13, L"0 9 0"}, {NAVDIR_NEXT, 14, L"0x1 0 0"},
      {NAVDIR_PREVIOUS, 1, L"0x1 0 0"}, {NAVDIR_PREVIOUS, 3, L"0 9 0"}, {NAVDIR_PREVIOUS, 14, L"0 3 13"}};
  // clang-format on
  for (const NavigationRow& step : steps) {
    VARIANT end = {};
    HRESULT result = popup->accNavigate(step.direction, Child(step.from), &end);
    want += Format(L"%ld from %ld: %ls\n", step.direction, step.from, step.to);
    got += Format(L"%ld from %ld: %#lx %d %ld\n", step.direction, step.from, result, end.vt,
                  end.vt == VT_I4 ? end.lVal : 0);
    VariantClear(&end);
  }
  // Any object but the client area is left to Windows, whose DefWindowProcW gives 0.
  want += L"WM_GETOBJECT of the window and the caret: 0 0\n";
  got += Format(L"WM_GETOBJECT of the window and the caret: %lld %lld\n",
                LONGLONG(SendMessageW(g_mainWnd, WM_GETOBJECT, 0, LPARAM(LONG(OBJID_WINDOW)))),
                LONGLONG(SendMessageW(g_mainWnd, WM_GETOBJECT, 0, LPARAM(LONG(OBJID_CARET)))));
  EXPECT_EQ(want, got);
  const std::wstring bad =
      L"0x80070057 0x80070057 0x80070057 0x80070057 0x80070057 0x80070057 0x80070057 0x80070057 ";
  const std::wstring home = Tree(L"bare"), quit = L"quit code=0;",
                     simple = L"0 0 0 0 0x1 0 0 0 ";  // 0x1: S_FALSE
  // clang-format off
  struct CallRow { VARIANT id; std::wstring answers; };  // 0x80070057: E_INVALIDARG
  const CallRow calls[] = {{Child(5), simple + Opened(home + L"\\Documents") + quit},
      {Child(9), simple + Opened(L".\\Computer.lnk") + quit}, {Child(4), simple + Opened(home) + quit},
      {Child(15), bad}, {Child(-1), bad}, {Child(5, VT_I2), bad}, {Child(5, VT_EMPTY), bad}};
  // clang-format on
  want = got = L"";
  for (const CallRow& call : calls) {
    want += Format(L"child %ld type %d: ", call.id.lVal, call.id.vt) + call.answers + L"\n";
    got += Format(L"child %ld type %d: ", call.id.lVal, call.id.vt) + Answers(popup, call.id) + L"\n";
  }
  DestroyWindow(g_mainWnd);  // 0x80010108: RPC_E_DISCONNECTED
  TakeLog();                 // the end of the run, and of its activation
  want += L"gone: 0x80010108 0x80010108 0x80010108 0x80010108 0x80010108 0x80010108 0x80010108 0x80010108 \n";
  got += L"gone: " + Answers(popup, Child(5)) + L"\n";
  EXPECT_EQ(want, got);
  EXPECT_EQ(0u, popup->Release());
}
