// The popup made in-process and driven with messages, with stand-ins for the calls that must
// not really happen, and one whole run of kestrelon.exe. Each test names the faults it catches.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include "app/ids.h"
#include "app/main_window.h"
#include "app/shell_helpers.h"
#include "app/startup.h"
#include "app/state.h"
#include "panel/link_column.h"
#include "panel/panel_paint.h"
#include "pinned/pinned_items.h"
#include "programs/programs_menu.h"
#include "support.h"

namespace {

POINT g_cursor = {1000, 10};  // what GetCursorPos reports: off the popup unless a test moves it
std::wstring g_log;           // what the stand-ins were asked, e.g. "show popup 0;quit 0;"

std::wstring Text(long long value) { return std::to_wstring(value); }
std::wstring Text(const wchar_t* text) { return text ? text : L"null"; }
std::wstring Text(HWND window) { return window == g_mainWnd ? L"popup" : window ? L"other" : L"null"; }
std::wstring TakeLog() { return std::exchange(g_log, std::wstring()); }

// Logs "what argument argument..." and gives result.
template <class Result, class... Arguments>
Result Logged(Result result, const wchar_t* what, Arguments... arguments) {
  std::wstring entry = what;
  ((entry += L" " + Text(arguments)), ...);
  g_log += entry + L";";
  return result;
}

std::string Bits(HBITMAP bitmap, int bytes, bool destroy = false) {
  std::string bits(static_cast<size_t>(bytes), '\0');
  GetBitmapBits(bitmap, bytes, &bits[0]);
  if (destroy) DeleteObject(bitmap);
  return bits;
}

std::string IconBits(HANDLE icon) {  // the colours, then the mask, of a 32 x 32 icon; destroys it
  ICONINFO parts = {};
  GetIconInfo(static_cast<HICON>(icon), &parts);
  std::string bits = Bits(parts.hbmColor, 4096, true) + Bits(parts.hbmMask, 128, true);
  DestroyIcon(static_cast<HICON>(icon));
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
// A launch logs its file, record size, mask, verb, parameters, directory, show command, owner.
// clang-format off
std::wstring Opened(const std::wstring& file) { return L"open " + file + L" 112 256 null null null 5 null;"; }
void WINAPI FakePostQuitMessage(int code) { Logged(0, L"quit", code); }
BOOL WINAPI FakeShellExecuteExW(SHELLEXECUTEINFOW* r) {
  return Logged(TRUE, L"open", r->lpFile, r->cbSize, r->fMask, r->lpVerb, r->lpParameters, r->lpDirectory, r->nShow, r->hwnd);
}
BOOL WINAPI FakeGetCursorPos(POINT* point) { *point = g_cursor; return TRUE; }
BOOL WINAPI FakeShowWindow(HWND window, int command) { return Logged(TRUE, L"show", window, command); }
UINT_PTR WINAPI FakeSetTimer(HWND window, UINT_PTR id, UINT ms, TIMERPROC call) {
  return Logged(id, L"timer", window, id, ms, call != nullptr);
}
BOOL WINAPI FakeKillTimer(HWND window, UINT_PTR id) { return Logged(TRUE, L"kill", window, id); }
BOOL WINAPI FakeTrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* rect) {
  Logged(TRUE, L"menu", x, y, flags, reserved, owner, rect != nullptr);
  g_log += L"\n" + Listing(menu);  // its items, after the call's own line
  return TRUE;
}
BOOL WINAPI FakeOpenProcessToken(HANDLE process, DWORD access, HANDLE* token) {
  *token = nullptr;
  return Logged(TRUE, process == GetCurrentProcess() ? L"token of this process" : L"token", access);
}
BOOL WINAPI FakeAdjustTokenPrivileges(HANDLE, BOOL disableAll, TOKEN_PRIVILEGES* set, DWORD size, TOKEN_PRIVILEGES* old, DWORD* oldSize) {
  const LUID_AND_ATTRIBUTES& first = set->Privileges[0];
  return Logged(TRUE, L"privilege", disableAll, set->PrivilegeCount, first.Luid.LowPart, first.Attributes, size, old || oldSize);
}
BOOL WINAPI FakeExitWindowsEx(UINT flags, DWORD reason) { return Logged(TRUE, L"exit", flags, reason); }
BOOL WINAPI FakeLockWorkStation() { return Logged(TRUE, L"lock"); }
LRESULT WINAPI FakeSendMessageTimeoutW(HWND to, UINT m, WPARAM w, LPARAM l, UINT f, UINT ms, PDWORD_PTR r) {
  return Logged(LRESULT(1), L"send", to, m, w, l, f, ms, r ? L"result" : L"null");
}
// clang-format on
// Stand-ins for the monitors, of which Wine shows one: [0] holds the taskbar, [1] is the primary
// (work area {0, 0, 1024, 700}).
MONITORINFO g_monitors[2];
// clang-format off
HMONITOR WINAPI FakeMonitorFromRect(const RECT*, DWORD flags) { return Logged(HMONITOR(1), L"taskbar's", flags); }
HMONITOR WINAPI FakeMonitorFromPoint(POINT at, DWORD flags) { return Logged(HMONITOR(2), L"at", at.x, at.y, flags); }
BOOL WINAPI FakeGetMonitorInfoW(HMONITOR monitor, MONITORINFO* info) {
  if (info->cbSize != sizeof(MONITORINFO)) return FALSE;
  *info = g_monitors[reinterpret_cast<INT_PTR>(monitor) - 1];
  return TRUE;
}
// clang-format on
#define FAKE(function) PatchImport(#function, reinterpret_cast<void*>(Fake##function))

// The popup as start-up makes it, without the loader thread and the message loop; the
// stand-ins answer from then on.
void ShowPopup() {
  g_hInstance = GetModuleHandleW(nullptr);
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_COOL_CLASSES};
  InitCommonControlsEx(&controls);
  g_linkBackBitmap = LoadBitmapW(g_hInstance, L"IDB_LINKBUTTONBACK");
  RegisterMainClass();
  SetEnvironmentVariableW(L"homedrive", L"H:");  // not the system drive
  SetEnvironmentVariableW(L"homepath", L"\\Users\\kes");
  ReadHomeFolders();
  FindTaskbar();
  CreateMainWindow();
  InitLinkSlots();
  UpdateWindow(g_mainWnd);
  for (void* original :
       {FAKE(PostQuitMessage), FAKE(ShellExecuteExW), FAKE(GetCursorPos), FAKE(ShowWindow), FAKE(SetTimer),
        FAKE(KillTimer), FAKE(TrackPopupMenu), FAKE(OpenProcessToken), FAKE(AdjustTokenPrivileges),
        FAKE(ExitWindowsEx), FAKE(LockWorkStation), FAKE(SendMessageTimeoutW), FAKE(MonitorFromRect),
        FAKE(MonitorFromPoint), FAKE(GetMonitorInfoW)})
    ASSERT_NE(nullptr, original) << "an import to stand in for is missing";
}

std::wstring Tree(const wchar_t* name) { return Beside(L"..\\trees\\" + std::wstring(name)); }

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

std::wstring Send(UINT message, WPARAM wParam, LPARAM lParam) {
  TakeLog();
  EXPECT_EQ(0, SendMessageW(g_mainWnd, message, wParam, lParam)) << message;
  return TakeLog();
}

void MoveTo(int x, int y) {
  Aim(g_mainWnd, x, y);
  Send(WM_MOUSEMOVE, 0, 0);
}

std::wstring Walk(const std::wstring& folder, std::string* bits = nullptr) {
  HMENU menu = CreatePopupMenu();
  BuildProgramsMenu(folder, std::wstring(L"*"), menu);
  std::wstring listing = L"\n" + Listing(menu, L"", bits);
  DestroyProgramsMenu(menu);
  return listing;
}

}  // namespace

// A wrong class, text, style, place, id or font of the popup, its captions and its controls, a
// popup that does not stand on Wine's taskbar (1024 x 768 desktop, taskbar at y 748), a wrong
// class style or cursor, an arrow icon missing or not at 16 x 16, a missing manifest. Then, on
// monitors of stand-ins: a popup above the screen or on the wrong monitor for a taskbar at the
// top, a side, on another monitor or hidden; one cut off on a small monitor; one nowhere when
// there is no taskbar.
TEST(MainWindow, LayoutAndPlacement) {
  NONCLIENTMETRICSW metrics = {500};
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, 500, &metrics, 0);
  const NONCLIENTMETRICSW saved = metrics;
  metrics.lfMenuFont.lfHeight -= 3;  // a menu font unlike the status and message fonts, as on Windows
  SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, 500, &metrics, 0);
  ShowPopup();
  // clang-format off
  struct WindowRow { int id; const wchar_t *className, *text; DWORD style, exStyle; RECT screen; };
  const WindowRow windows[] = {
      {0, L"Kestrelon", L"", WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_MAXIMIZEBOX,
       WS_EX_COMPOSITED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST, {0, 263, 410, 748}},
      {IDC_SHUTDOWN, L"Button", L"Shut down...", WS_CHILD | WS_VISIBLE, 0, {265, 706, 350, 728}},
      {IDC_PINNEDTREE, L"SysTreeView32", L"", WS_CHILD | WS_VISIBLE | TVS_FULLROWSELECT | TVS_TRACKSELECT |
       TVS_DISABLEDRAGDROP, 0, {14, 276, 244, 651}},
      {IDC_ALLPROGRAMS, L"Button", L"     All Programs", WS_CHILD | WS_VISIBLE | BS_LEFT, 0, {10, 660, 248, 688}}};
  // clang-format on
  for (const WindowRow& row : windows) {
    HWND window = row.id ? GetDlgItem(g_mainWnd, row.id) : g_mainWnd;
    wchar_t name[32] = L"", caption[32] = L"";
    WINDOWINFO info = {sizeof(info)};
    LOGFONTW font = {};
    GetClassNameW(window, name, 32);
    GetWindowTextW(window, caption, 32);
    GetWindowInfo(window, &info);
    HGDIOBJ shown = row.id ? reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)) : g_captionFont;
    GetObjectW(shown, sizeof(font), &font);  // the popup's: that of the captions it paints
    EXPECT_TRUE(!wcscmp(row.className, name) && !wcscmp(row.text, caption) && row.style == info.dwStyle &&
                row.exStyle == info.dwExStyle && EqualRect(&row.screen, &info.rcWindow) &&
                !memcmp(&metrics.lfMenuFont, &font, sizeof(font)))
        << "window " << row.id;
  }
  EXPECT_TRUE(GetClassLongPtrW(g_mainWnd, GCL_STYLE) == (CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS) &&
              GetClassLongPtrW(g_mainWnd, GCLP_HCURSOR) == ULONG_PTR(LoadCursorW(nullptr, IDC_ARROW)));
  HICON arrow = HICON(SendDlgItemMessageW(g_mainWnd, IDC_ALLPROGRAMS, BM_GETIMAGE, IMAGE_ICON, 0));
  HANDLE drawn = LoadImageW(g_hInstance, L"IDI_RIGHTARROW", IMAGE_ICON, 16, 16, 0);  // the arrow at 16 x 16
  EXPECT_EQ(IconBits(drawn), IconBits(CopyIcon(arrow)));
  wchar_t comctl[MAX_PATH];  // the manifest brings version 6, from the side-by-side store
  EXPECT_TRUE(GetModuleFileNameW(GetModuleHandleW(L"comctl32.dll"), comctl, MAX_PATH) &&
              wcsstr(comctl, L"6.0."));
  SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, 500, const_cast<NONCLIENTMETRICSW*>(&saved), 0);

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
  for (const PlaceRow& row : places) {
    g_trayRect = row.taskbar;
    g_monitors[0] = {sizeof(MONITORINFO), row.monitor, row.monitor, 0};
    POINT origin = PopupOrigin();
    std::wstring asked = IsRectEmpty(&row.taskbar) ? L"at 0 0 1;" : L"taskbar's 2;";  // primary, nearest
    EXPECT_TRUE(origin.x == row.popup.x && origin.y == row.popup.y && TakeLog() == asked)
        << row.what << ": " << origin.x << ", " << origin.y;
  }
}

// A wrong row of the message table: what ends the run, arms or kills the dismissal timer,
// launches or hides; over the whole 16-bit range, a command that acts when it should not, or
// wrongly, from a menu or from a control; a wrong session menu or session action.
TEST(MainWindow, MessageTable) {
  ShowPopup();
  CoInitialize(nullptr);  // so that each launch only counts its own COM entry
  // clang-format off
  struct MessageRow { UINT message; WPARAM wParam; LPARAM lParam; const wchar_t* effect; };
  const MessageRow rows[] = {{WM_KEYDOWN, 'A', 0, L""}, {WM_KEYDOWN, VK_ESCAPE, 0, L"quit 0;"},
      {WM_DESTROY, 0, 0, L"quit 0;"}, {WM_ACTIVATEAPP, TRUE, 0, L""}, {WM_LBUTTONUP, 0, 0, L""},
      {UM_CLOSEMENU, 0, 0, L"show popup 0;quit 0;"}, {WM_ACTIVATEAPP, FALSE, 0, L"timer popup 7000 1000 0;"},
      {WM_TIMER, 42, 0, L"kill popup 7000;quit 0;"},
      {WM_COMMAND, MAKEWPARAM(IDC_SHUTDOWN, BN_CLICKED), LPARAM(GetDlgItem(g_mainWnd, IDC_SHUTDOWN)),
       L"menu 350 728 32 0 popup 0;\nLog off #5003\nLock #5004\n-\nRestart #5001\n-\nShut down #5002\n"}};
  // clang-format on
  for (const MessageRow& row : rows)
    EXPECT_EQ(row.effect, Send(row.message, row.wParam, row.lParam)) << row.message;
  // What a second start asks of the open popup: to close, waiting at most three seconds if it hangs.
  EXPECT_TRUE(CloseOpenPopup() && TakeLog() == L"send popup 31982 0 0 2 3000 null;");  // SMTO_ABORTIFHUNG

  g_programEntries = {{1, L"C:\\one"}, {4999, L"C:\\below"}, {5006, L"C:\\above"}, {65535, L"C:\\last"}};
  std::wstring fromMenu, fromControl;  // each id's first line of effects, but for a launch of ""
  for (int id = 0; id <= 0xFFFF; ++id) {
    std::wstring menu = Send(WM_COMMAND, static_cast<WPARAM>(id), 0);
    std::wstring control = Send(WM_COMMAND, MAKEWPARAM(id, 1), 0);  // a notification code: from a control
    if (menu != Opened(L"") + L"quit 0;")
      fromMenu += Text(id) + L" " + menu.substr(0, menu.find(L'\n')) + L"\n";
    if (!control.empty()) fromControl += Text(id) + L" " + control.substr(0, control.find(L'\n')) + L"\n";
  }
  const std::wstring on = L"token of this process 40;privilege 0 1 19 2 0 0;";  // 19: SeShutdownPrivilege
  const std::wstring acting = L"5000 menu 350 728 32 0 popup 0;\n5001 " + on + L"exit 2 0;quit 0;\n5002 " +
                              on + L"exit 8 0;quit 0;\n5003 " + on + L"exit 0 0;quit 0;\n5004 " + on +
                              L"lock;quit 0;\n5005 menu 11 693 32 0 popup 0;\n";
  EXPECT_EQ(L"1 " + Opened(L"C:\\one") + L"quit 0;\n4999 " + Opened(L"C:\\below") + L"quit 0;\n" + acting +
                L"5006 " + Opened(L"C:\\above") + L"quit 0;\n65535 " + Opened(L"C:\\last") + L"quit 0;\n",
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
  return Logged(S_OK, L"picture path", user, flags, capacity);
}
FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name) {
  if (!IS_INTRESOURCE(name) && !strcmp(name, "wine_get_version")) return nullptr;
  if (IS_INTRESOURCE(name) && LOWORD(name) == 261 && module == GetModuleHandleW(L"shell32.dll"))
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(FakeUserPicturePath));
  return g_realGetProcAddress(module, name);
}
int WINAPI FakeDrawTextW(HDC dc, LPCWSTR text, int length, RECT* rect, UINT format) {  // draws through DrawTextExW
  Logged(0, L"caption", text, length, rect->left, rect->top, rect->right, rect->bottom, format);
  return DrawTextExW(dc, const_cast<LPWSTR>(text), length, rect, format, nullptr);
}
HANDLE WINAPI FakeLoadImageW(HINSTANCE module, LPCWSTR name, UINT type, int width, int height, UINT flags) {
  Logged(0, L"load", module != nullptr, name, type, width, height, flags);
  return g_realLoadImageW(module, name, type, width, height, flags);
}
// clang-format on

// Under a scheme where each system colour the panel uses is distinct: an outline, separator,
// frame, border or column drawn in the wrong colour or a pixel off; a fill that is not white; a
// highlight not stretched over its slot, left behind after several moves, gone after a system
// erase or over its caption; a caption on an opaque background; an account picture not loaded as
// the shell names it, not scaled to 48 x 48, read past its buffer, or a frame that is not plain
// where there is none.
TEST(Panel, PixelsAndAccountPicture) {
  const int kinds[] = {COLOR_MENU, COLOR_GRAYTEXT, COLOR_3DLIGHT, COLOR_GRADIENTACTIVECAPTION};
  const COLORREF M = RGB(200, 0, 0), G = RGB(0, 100, 0), L = RGB(0, 0, 200), F = RGB(200, 200, 0);
  const COLORREF scheme[] = {M, G, L, F}, Wh = RGB(255, 255, 255), B = RGB(125, 125, 125);
  const COLORREF saved[] = {GetSysColor(kinds[0]), GetSysColor(kinds[1]), GetSysColor(kinds[2]),
                            GetSysColor(kinds[3])};
  SetSysColors(4, kinds, scheme);
  CreateDrawingResources();  // as at a start under this scheme
  ShowPopup();
  for (int y : {160, 110, 150}) MoveTo(300, y);  // the highlight moves to "Pictures" from "Documents"
  UpdateWindow(g_mainWnd);
  const COLORREF H = RGB(0x9C, 0xB4, 0xCE), O = RGB(0x3C, 0x4A, 0x5E);  // the art's upper half, its outline
  // clang-format off
  struct PixelRow { int x, y; COLORREF colour; };
  const PixelRow rows[] = {  // outside, on and inside each edge: panel, separator, frame, border, column
      {8, 200, G}, {9, 200, M}, {10, 200, Wh}, {249, 200, M}, {250, 200, G}, {248, 200, Wh}, {100, 7, G}, {100, 8, M},
      {100, 9, Wh}, {100, 427, M}, {100, 428, G}, {100, 426, Wh}, {13, 393, Wh}, {14, 393, L}, {243, 393, L},
      {244, 393, Wh}, {100, 392, Wh}, {100, 394, Wh}, {299, 36, G}, {300, 36, L}, {301, 36, F}, {355, 36, L},
      {356, 36, G}, {328, 7, G}, {328, 8, L}, {328, 9, F}, {328, 63, L}, {328, 64, G}, {302, 36, F}, {303, 36, B},
      {352, 36, B}, {353, 36, F}, {328, 10, F}, {328, 11, B}, {328, 60, B}, {328, 61, F}, {260, 200, G},
      {397, 200, G}, {300, 70, G}, {300, 425, G}, {9, 8, G}, {10, 8, M}, {9, 9, M}, {10, 9, Wh},  // corners
      {300, 8, G}, {301, 8, L}, {300, 9, L}, {301, 9, F},
      {390, 146, H}, {390, 110, G}, {390, 141, G}, {390, 142, O}, {397, 160, O}, {380, 173, O},  // stretched
      {268, 186, G}};  // no text background behind a caption
  // clang-format on
  for (bool whole : {false, true}) {  // as the moves painted it, then after a system erase
    if (whole) RedrawWindow(g_mainWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    for (const PixelRow& row : rows) EXPECT_EQ(row.colour, Pixel(row.x, row.y)) << row.x << ", " << row.y;
  }
  int white = 0;  // where the caption "Pictures" begins, over its highlight
  for (int i = 0; i < 62 * 16; ++i) white += Pixel(268 + i % 62, 150 + i / 62) == Wh;
  EXPECT_GT(white, 10);
  MoveTo(300, 104);  // off the slots: the highlight goes
  UpdateWindow(g_mainWnd);
  EXPECT_EQ(G, Pixel(390, 146));

  g_realGetProcAddress = reinterpret_cast<decltype(g_realGetProcAddress)>(FAKE(GetProcAddress));
  g_realLoadImageW = reinterpret_cast<decltype(g_realLoadImageW)>(FAKE(LoadImageW));
  const std::wstring good = Tree(L"demo-account.bmp"), asked = L"picture path null 0 1024;";
  // clang-format off
  struct PictureRow { std::wstring shellPath, calls; COLORREF centre, first, last; };  // of the 48 x 48
  const PictureRow pictures[] = {{good, asked + L"load 0 " + good + L" 0 48 48 16;", RGB(0xB4, 0x64, 0x28),
      RGB(0x5A, 0x9A, 0xD2), RGB(0x94, 0xB7, 0xD2)}, {L"", asked, F, F, F}};  // "": no terminator
  // clang-format on
  for (const PictureRow& row : pictures) {
    g_picturePath = row.shellPath;
    g_userPicture = nullptr;
    LoadUserPicture();
    RedrawWindow(g_mainWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_TRUE(TakeLog() == row.calls && Pixel(328, 31) == row.centre && Pixel(304, 12) == row.first &&
                Pixel(351, 59) == row.last)
        << row.shellPath.size();
  }
  SetSysColors(4, kinds, saved);
}

// Wrong slot bounds, an invalidation missing (also inside the same slot) or extra, captions
// drawn elsewhere or otherwise, wrong link targets, a link opened from a band between slots or
// from a home value too long to read.
TEST(LinkColumn, HoverPaintAndRelease) {
  ShowPopup();
  const RECT links = {260, 70, 398, 426}, none = {};  // the column, nothing
  const std::wstring home = L"H:\\Users\\kes";
  // clang-format off
  struct MoveRow { POINT cursor; RECT invalid; std::wstring opens; };  // by a click there
  const MoveRow moves[] = {
      {{300, 60}, none, L""}, {{300, 110}, links, home + L"\\Documents"},
      {{300, 120}, links, home + L"\\Documents"}, {{300, 103}, links, L""}, {{300, 104}, none, L""},
      {{397, 75}, links, home}, {{398, 75}, links, L""}, {{300, 174}, none, L""},
      {{300, 173}, links, home + L"\\Pictures"}, {{259, 150}, links, L""}, {{260, 425}, links, L".\\Run.lnk"},
      {{300, 224}, links, home + L"\\Downloads"}, {{300, 260}, links, L".\\Computer.lnk"},
      {{300, 296}, links, L".\\Network.lnk"}, {{300, 332}, links, L".\\Control Panel.lnk"},
      {{300, 368}, links, L".\\Devices and Printers.lnk"}, {{300, 188}, links, home + L"\\Music"}};
  // clang-format on
  for (const MoveRow& row : moves) {
    RECT update = {};
    ValidateRect(g_mainWnd, nullptr);
    MoveTo(row.cursor.x, row.cursor.y);
    GetUpdateRect(g_mainWnd, &update, FALSE);
    EXPECT_TRUE(EqualRect(&row.invalid, &update) &&
                Send(WM_LBUTTONUP, 0, 0) == (row.opens.empty() ? L"" : Opened(row.opens) + L"quit 0;"))
        << row.cursor.x << ", " << row.cursor.y;
  }
  ASSERT_TRUE(FAKE(DrawTextW));
  wcscpy_s(g_userName, L"kestrel");
  RedrawWindow(g_mainWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);  // 16384: DT_PATH_ELLIPSIS
  // clang-format off
  EXPECT_EQ(L"caption kestrel -1 268 78 398 102 16384;caption Documents -1 268 113 398 138 16384;"
            L"caption Pictures -1 268 150 398 174 16384;caption Music -1 268 186 398 210 16384;"
            L"caption Downloads -1 268 222 398 246 16384;caption Computer -1 268 258 398 282 16384;"
            L"caption Network -1 268 293 398 318 16384;caption Control Panel -1 268 330 398 354 16384;"
            L"caption Devices and Printers -1 268 366 398 390 16384;caption Run... -1 268 402 398 426 16384;", TakeLog());
  // clang-format on
  SetEnvironmentVariableW(L"homepath", (L"\\" + std::wstring(1500, L'x')).c_str());
  ReadHomeFolders();  // "Music" opens nothing now
  EXPECT_TRUE(g_homeTooLong && !g_homePath[0] && Send(WM_LBUTTONUP, 0, 0) == L"quit 0;");
}

// A wrong listing (names left out case-blind or not at all, shown texts, paths and parameters
// out of step, icons of other items, small, without a mask or that change when selected), a
// click that opens the wrong item or one below the rows, a right click that opens one, a folder
// not built from the globals.
TEST(PinnedItems, ListingClickAndFolder) {
  ShowPopup();
  std::wstring folder = Tree(L"pinned") + L"\\", listing;
  LoadPinnedItems(folder);
  // Its colours only: an image list keeps a mask of its own for it.
  const std::string icon46 = IconBits(ExtractIconW(nullptr, L"shell32.dll", 46)).substr(0, 4096);
  HIMAGELIST images = TreeView_GetImageList(g_treeWnd, TVSIL_NORMAL);
  for (HTREEITEM item = TreeView_GetRoot(g_treeWnd); item; item = TreeView_GetNextSibling(g_treeWnd, item)) {
    wchar_t text[64] = L"";
    TVITEMW got = {TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE, item, 0, 0, text, 64};
    TreeView_GetItem(g_treeWnd, &got);
    std::wstring path = g_pinnedPaths.at(got.lParam);
    std::string is = IconBits(ImageList_GetIcon(images, got.iImage, ILD_NORMAL));
    auto icon = is == IconBits(GetLargeIconForPath(path)) ? L" own" : is.find(icon46) ? L" ?" : L" 46";
    listing += text + (L" " + Text(got.lParam)) + L" " + path.substr(path.find(L"\\trees\\") + 7) + icon +
               (got.iImage == got.iSelectedImage ? L"\n" : L" !\n");
  }
  // clang-format off
  EXPECT_EQ(L"Desktop.ini 0 pinned\\Desktop.ini own\nMail 1 pinned\\Mail own\nMail 2 pinned\\Mail.lnk own\n"
            L"Notepad 3 pinned\\Notepad.lnk own\nnotes.lnk 4 pinned\\notes.lnk.txt own\nReadme.txt 5 pinned\\Readme.txt own\n"
            L"Tools 6 pinned\\Tools own\nWindows Update 7 pinned\\Windows Update.lnk 46\n"
            L"windows update 8 pinned\\windows update.lnk own\n", listing);
  // clang-format on
  const int row = TreeView_GetItemHeight(g_treeWnd);  // in pixels: the rows follow from the top
  // clang-format off
  // Right of the text: a click below the rows, a right click and a click on the first item.
  struct ClickRow { UINT code; int y; std::wstring effect; };
  const ClickRow clicks[] = {{NM_CLICK, 9 * row + 4, L""}, {NM_RCLICK, row / 2, L""},
      {NM_CLICK, row / 2, Opened(folder + L"Desktop.ini") + L"show popup 0;quit 0;"}};
  // clang-format on
  for (const ClickRow& click : clicks) {
    NMHDR header = {nullptr, 0, click.code};  // from whichever control
    Aim(g_treeWnd, 220, click.y);
    EXPECT_EQ(click.effect, Send(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header))) << click.code;
  }
  StartPinnedItemsLoader();  // its thread then waits on the tree, which this thread serves no more
  EXPECT_STREQ(L"H:\\Users\\kes\\Documents\\StartItems\\", g_pinnedDir);
}

// clang-format off
decltype(&CoWaitForMultipleHandles) g_realCoWait;
HRESULT WINAPI FakeCoWaitForMultipleHandles(DWORD flags, DWORD ms, ULONG count, HANDLE* handles, DWORD* at) {
  return Logged(g_realCoWait(flags, ms, count, handles, at), L"wait", flags, ms, count);
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
  g_lastMenuId = 4997;
  // clang-format off
  EXPECT_EQ(L"\nApp #4998\nCaps >\n  DESKTOP.INI #5006\nEmpty >\nNames >\n   #5009\n  lnk #5010\n"
            L"  MAIL #5011\n  Mail.Lnk #5012\nSite.url #5013\nTom & Jerry.txt #5014\nTool.lnk #5015\n"
            L"Tools >\n  Inner.txt #5017\nUpper >\n  Kept.txt #5019\n", Walk(root));
  // clang-format on
  EXPECT_TRUE(FindProgramPath(4998) == root + L"\\App.lnk" && FindProgramPath(4999).empty() &&
              FindProgramPath(5015) == root + L"\\Tool.lnk.bak");

  std::string bits, shellBits;  // each item's bitmap, and the one the shell's icon of its path gives
  g_lastMenuId = 0;
  EXPECT_EQ(L"\nbutton.ico #1\nFolder >\n  Inner.txt #3\nReadme.txt #4\nrightarrow.ico #5\n",
            Walk(icons, &bits));
  for (const wchar_t* path :
       {L"button.ico", L"Folder", L"Folder\\Inner.txt", L"Readme.txt", L"rightarrow.ico"})
    shellBits += Bits(MakeMenuIconBitmap(icons + L"\\" + path), 1024, true);
  EXPECT_TRUE(shellBits == bits && bits.substr(0, 1024) != bits.substr(1024, 1024));  // an icon's, a folder's
  g_lastMenuId = 65533;  // past 65535 numbering starts over at 1 and forgets finished presses
  EXPECT_EQ(L"\na.txt #65534\nb.txt #65535\nc.txt #1\n", Walk(wrap));
  EXPECT_TRUE(FindProgramPath(1) == wrap + L"\\c.txt" && FindProgramPath(4998).empty());
  EXPECT_EQ(L"\n" + std::wstring(150, L'D') + L" >\n  x.txt #3\nL" + std::wstring(250, L'l') +
                L".txt #4\nLoop >\n" + std::wstring(251, L'S') + L" #6\n",
            Walk(Tree(L"loop")));  // the link back to its folder stays empty
  // The wait for a worker lets COM calls into this apartment, and no input: a lookup may call an
  // icon handler COM hosts here. It ends only with the worker, which uses the waiting frame.
  g_realCoWait = reinterpret_cast<decltype(g_realCoWait)>(FAKE(CoWaitForMultipleHandles));
  Walk(Tree(L"many"));
  EXPECT_EQ(L"wait 0 4294967295 1;", TakeLog());  // no flags, INFINITE, the one worker
}

// kestrelon.exe as a process of its own: what only a whole run shows.

// A second start that shows a popup of its own or leaves the first open; a run that does not
// end, or not with exit code 0; a direct import of a library only the popup needs, which every
// second start would load, with its own start-up work, before it even looks for the open popup.
TEST(EndToEnd, SecondStartEndsTheRunAndLoadsLittle) {
  PROCESS_INFORMATION first = Start(Beside(L""));
  ASSERT_NE(nullptr, ShownWindow(L"Kestrelon", 10000));
  EXPECT_EQ(0, ExitCode(Start(Beside(L""))));  // one that made a popup of its own would run on
  EXPECT_EQ(0, ExitCode(first));
  auto base = reinterpret_cast<BYTE*>(
      LoadLibraryExW(Beside(L"kestrelon.exe").c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
  ASSERT_NE(nullptr, base);
  std::string dlls;
  for (auto dll = Imports(base); dll->Name; ++dll)
    dlls += reinterpret_cast<char*>(base + dll->Name) + std::string(" ");
  EXPECT_EQ("ADVAPI32.dll GDI32.dll KERNEL32.dll msvcrt.dll USER32.dll ", dlls);
}
