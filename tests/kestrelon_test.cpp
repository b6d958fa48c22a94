// The popup made by the program's own start-up, in-process, and driven with messages, with
// stand-ins for the calls that must not really happen. Each test names the faults it catches.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include "app/ids.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "app/state.h"
#include "harness.h"
#include "panel/link_column.h"
#include "panel/panel_paint.h"
#include "programs/programs_menu.h"

namespace {

// The colours of the icon at index of the shell's list, then its mask (32 x 32); destroys it.
std::string IconBits(HANDLE icon) {
  ICONINFO parts = {};
  GetIconInfo(static_cast<HICON>(icon), &parts);
  std::string bits = Bits(parts.hbmColor, 4096, true) + Bits(parts.hbmMask, 128, true);
  DestroyIcon(static_cast<HICON>(icon));
  return bits;
}

// What the shell itself answers for a path: its large icon, or its small icon drawn over the
// menu colour in a 16 x 16 bitmap of the screen's format.
std::string ShellLargeIcon(const std::wstring& path) {
  SHFILEINFOW info = {};
  auto list = HIMAGELIST(SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_SYSICONINDEX));
  return IconBits(ImageList_GetIcon(list, info.iIcon, ILD_NORMAL));
}
std::string ShellMenuIcon(const std::wstring& path) {
  SHFILEINFOW info = {};
  auto list =
      HIMAGELIST(SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  HDC screen = GetDC(nullptr), dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 16);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT square = {0, 0, 16, 16};
  FillRect(dc, &square, GetSysColorBrush(COLOR_MENU));
  ImageList_Draw(list, info.iIcon, dc, 0, 0, ILD_TRANSPARENT);
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

std::wstring WindowRow(const wchar_t* className, const wchar_t* text, DWORD style, DWORD exStyle, RECT at,
                       bool menuFont) {
  return Format(L"%ls \"%ls\" style %08lx ex %08lx at %ld, %ld, %ld, %ld in the %ls font", className, text,
                style, exStyle, at.left, at.top, at.right, at.bottom, menuFont ? L"menu" : L"wrong");
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
  struct Row { int id; const wchar_t *className, *text; DWORD style, exStyle; RECT screen; };
  const Row windows[] = {
      {0, L"Kestrelon", L"", WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_MAXIMIZEBOX,
       WS_EX_COMPOSITED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST, {0, 263, 410, 748}},
      {IDC_SHUTDOWN, L"Button", L"Shut down...", WS_CHILD | WS_VISIBLE, 0, {265, 706, 350, 728}},
      {IDC_PINNEDTREE, L"SysTreeView32", L"", WS_CHILD | WS_VISIBLE | TVS_FULLROWSELECT | TVS_TRACKSELECT |
       TVS_DISABLEDRAGDROP, 0, {14, 276, 244, 651}},
      {IDC_ALLPROGRAMS, L"Button", L"     All Programs", WS_CHILD | WS_VISIBLE | BS_LEFT, 0, {10, 660, 248, 688}}};
  // clang-format on
  for (const Row& row : windows) {
    HWND window = row.id ? GetDlgItem(g_mainWnd, row.id) : g_mainWnd;
    wchar_t name[32] = L"", caption[32] = L"";
    WINDOWINFO info = {sizeof(info)};
    LOGFONTW font = {};
    GetClassNameW(window, name, 32);
    GetWindowTextW(window, caption, 32);
    GetWindowInfo(window, &info);
    HGDIOBJ shown = row.id ? reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)) : g_captionFont;
    GetObjectW(shown, sizeof(font), &font);  // the popup's: that of the captions it paints
    EXPECT_EQ(WindowRow(row.className, row.text, row.style, row.exStyle, row.screen, true),
              WindowRow(name, caption, info.dwStyle, info.dwExStyle, info.rcWindow,
                        !memcmp(&metrics.lfMenuFont, &font, sizeof(font))));
  }
  EXPECT_EQ(Format(L"class style %x, cursor %p", CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS,
                   LoadCursorW(nullptr, IDC_ARROW)),
            Format(L"class style %x, cursor %p", unsigned(GetClassLongPtrW(g_mainWnd, GCL_STYLE)),
                   reinterpret_cast<void*>(GetClassLongPtrW(g_mainWnd, GCLP_HCURSOR))));
  HICON arrow = HICON(SendDlgItemMessageW(g_mainWnd, IDC_ALLPROGRAMS, BM_GETIMAGE, IMAGE_ICON, 0));
  HANDLE drawn =
      LoadImageW(GetModuleHandleW(nullptr), L"IDI_RIGHTARROW", IMAGE_ICON, 16, 16, 0);  // at 16 x 16
  EXPECT_TRUE(arrow && IconBits(drawn) == IconBits(CopyIcon(arrow))) << "the arrow of \"All Programs\"";
  wchar_t comctl[MAX_PATH] = L"";  // the manifest brings version 6, from the side-by-side store
  GetModuleFileNameW(GetModuleHandleW(L"comctl32.dll"), comctl, MAX_PATH);
  EXPECT_NE(nullptr, wcsstr(comctl, L"6.0.")) << comctl;
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
  for (const PlaceRow& row : places) {
    g_trayRect = row.taskbar;
    g_monitors[0] = {sizeof(MONITORINFO), row.monitor, row.monitor, 0};
    POINT at = PopupOrigin();
    // MONITOR_DEFAULTTOPRIMARY (1) for no taskbar, else MONITOR_DEFAULTTONEAREST (2)
    const wchar_t* asked = IsRectEmpty(&row.taskbar) ? L"at x=0 y=0 flags=1;" : L"taskbar's flags=2;";
    EXPECT_EQ(Format(L"%hs: %ld, %ld, %ls", row.what, row.popup.x, row.popup.y, asked),
              Format(L"%hs: %ld, %ld, %ls", row.what, at.x, at.y, TakeLog().c_str()));
  }
}

// A wrong row of the message table: what ends the run, arms or kills the dismissal timer,
// launches or hides; over the whole 16-bit range, a command that acts when it should not, or
// wrongly, from a menu or from a control; a wrong session menu or session action.
TEST(MainWindow, MessageTable) {
  ShowPopup();
  CoInitialize(nullptr);  // so that each launch only counts its own COM entry
  const std::wstring quit = L"quit code=0;",
                     shutdownMenu = L"menu x=350 y=728 flags=32 reserved=0 owner=popup avoid=0;";
  // clang-format off
  struct MessageRow { UINT message; WPARAM wParam; LPARAM lParam; std::wstring effect; };
  const MessageRow rows[] = {{WM_KEYDOWN, 'A', 0, L""}, {WM_KEYDOWN, VK_ESCAPE, 0, quit}, {WM_DESTROY, 0, 0, quit},
      {WM_ACTIVATEAPP, TRUE, 0, L""}, {WM_LBUTTONUP, 0, 0, L""}, {UM_CLOSEMENU, 0, 0, L"show window=popup command=0;" + quit},
      {WM_ACTIVATEAPP, FALSE, 0, L"timer window=popup id=7000 ms=1000 callback=0;"},
      {WM_TIMER, 42, 0, L"kill window=popup id=7000;" + quit},
      {WM_COMMAND, MAKEWPARAM(IDC_SHUTDOWN, BN_CLICKED), LPARAM(GetDlgItem(g_mainWnd, IDC_SHUTDOWN)),
       shutdownMenu + L"\nLog off #5003\nLock #5004\n-\nRestart #5001\n-\nShut down #5002\n"}};
  // clang-format on
  for (const MessageRow& row : rows)
    EXPECT_EQ(Text(row.message) + L": " + row.effect,
              Text(row.message) + L": " + Send(row.message, row.wParam, row.lParam));
  // What a second start asks of the open popup: to close, waiting at most three seconds if it hangs.
  EXPECT_TRUE(CloseOpenPopup());  // flags 2: SMTO_ABORTIFHUNG
  EXPECT_EQ(L"send to=popup message=31982 w=0 l=0 flags=2 ms=3000 result=null;", TakeLog());

  g_programEntries = {{1, L"C:\\one"}, {4999, L"C:\\below"}, {5006, L"C:\\above"}, {65535, L"C:\\last"}};
  std::wstring fromMenu, fromControl;  // each id's first line of effects, but for a launch of ""
  for (int id = 0; id <= 0xFFFF; ++id) {
    std::wstring menu = Send(WM_COMMAND, static_cast<WPARAM>(id), 0);
    std::wstring control = Send(WM_COMMAND, MAKEWPARAM(id, 1), 0);  // a notification code: from a control
    if (menu != Opened(L"") + quit) fromMenu += Text(id) + L" " + menu.substr(0, menu.find(L'\n')) + L"\n";
    if (!control.empty()) fromControl += Text(id) + L" " + control.substr(0, control.find(L'\n')) + L"\n";
  }
  // 40: TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY; 19: SeShutdownPrivilege; 2: SE_PRIVILEGE_ENABLED
  const std::wstring on =
      L"token process=this access=40;privilege all-off=0 count=1 luid=19 attributes=2 size=0 previous=0;";
  const std::wstring acting = L"5000 " + shutdownMenu + L"\n5001 " + on + L"exit flags=2 reason=0;" + quit +
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
std::wstring Caption(const wchar_t* text, int length, RECT box, UINT format) {
  return Format(L"caption \"%ls\" length %d in %ld, %ld, %ld, %ld format %u;\n", text, length, box.left, box.top,
                box.right, box.bottom, format);
}
int WINAPI FakeDrawTextW(HDC dc, LPCWSTR text, int length, RECT* rect, UINT format) {  // draws through DrawTextExW
  g_log += Caption(text, length, *rect, format);
  return DrawTextExW(dc, const_cast<LPWSTR>(text), length, rect, format, nullptr);
}
HANDLE WINAPI FakeLoadImageW(HINSTANCE module, LPCWSTR name, UINT type, int width, int height, UINT flags) {
  Logged(0, L"load module file type width height flags", module != nullptr, name, type, width, height, flags);
  return g_realLoadImageW(module, name, type, width, height, flags);
}
// clang-format on

// Under a scheme where each system colour the panel uses is distinct: an outline, separator,
// frame, border or column drawn in the wrong colour or a pixel off; a fill that is not white; a
// highlight not stretched over its slot, left behind after several moves, gone after a system
// erase or over its caption; a caption on an opaque background; an account picture that start-up
// does not load, not loaded as the shell names it, not scaled to 48 x 48, read past its buffer,
// or a frame that is not plain where there is none.
TEST(Panel, PixelsAndAccountPicture) {
  const int kinds[] = {COLOR_MENU, COLOR_GRAYTEXT, COLOR_3DLIGHT, COLOR_GRADIENTACTIVECAPTION};
  const COLORREF M = RGB(200, 0, 0), G = RGB(0, 100, 0), L = RGB(0, 0, 200), F = RGB(200, 200, 0);
  const COLORREF scheme[] = {M, G, L, F}, Wh = RGB(255, 255, 255), B = RGB(125, 125, 125);
  const COLORREF saved[] = {GetSysColor(kinds[0]), GetSysColor(kinds[1]), GetSysColor(kinds[2]),
                            GetSysColor(kinds[3])};
  const COLORREF H = RGB(0x9C, 0xB4, 0xCE), O = RGB(0x3C, 0x4A, 0x5E);  // the art's upper half, its outline
  const COLORREF P = RGB(0xB4, 0x64, 0x28), P1 = RGB(0x5A, 0x9A, 0xD2), P2 = RGB(0x94, 0xB7, 0xD2);
  const std::vector<NamedColour> names = {
      {M, "menu red"},       {G, "grey-text green"},   {L, "3-D light blue"},       {F, "frame yellow"},
      {Wh, "white"},         {B, "border grey"},       {H, "highlight blue"},       {O, "highlight outline"},
      {P, "picture centre"}, {P1, "picture top left"}, {P2, "picture bottom right"}};
  auto pixels = [&](const std::vector<POINT>& points) {
    std::string row;
    for (POINT at : points) row += Named(Pixel(at.x, at.y), names) + "; ";
    return row;
  };
  SetSysColors(4, kinds, scheme);
  CreateDrawingResources();  // as at a start under this scheme
  GivePicture(L"Kestrel Holder");
  ShowPopup(L"bare", L"Kestrel Holder");
  const std::vector<POINT> picture = {{328, 31}, {304, 12}, {351, 59}};  // the 48 x 48: centre, first, last
  EXPECT_EQ("picture centre; picture top left; picture bottom right; ", pixels(picture))
      << "loaded by start-up";
  for (int y : {160, 110, 150}) MoveTo(300, y);  // the highlight moves to "Pictures" from "Documents"
  UpdateWindow(g_mainWnd);
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
    for (const PixelRow& row : rows)
      EXPECT_EQ(Format(L"%d, %d: %hs", row.x, row.y, Named(row.colour, names).c_str()),
                Format(L"%d, %d: %hs", row.x, row.y, Named(Pixel(row.x, row.y), names).c_str()));
  }
  int white = 0;  // where the caption "Pictures" begins, over its highlight
  for (int i = 0; i < 62 * 16; ++i) white += Pixel(268 + i % 62, 150 + i / 62) == Wh;
  EXPECT_GT(white, 10) << "white pixels of the caption \"Pictures\"";
  MoveTo(300, 104);  // off the slots: the highlight goes
  UpdateWindow(g_mainWnd);
  EXPECT_EQ("grey-text green; ", pixels({{390, 146}})) << "where the highlight was";

  g_realGetProcAddress = reinterpret_cast<decltype(g_realGetProcAddress)>(FAKE(GetProcAddress));
  g_realLoadImageW = reinterpret_cast<decltype(g_realLoadImageW)>(FAKE(LoadImageW));
  const std::wstring good = Tree(L"demo-account.bmp"),
                     asked = L"picture-path user=null flags=0 capacity=1024;";
  // LR_LOADFROMFILE (16), no module, IMAGE_BITMAP (0) at 48 x 48; "": a buffer with no terminator
  const std::wstring loads = asked + L"load module=0 file=" + good + L" type=0 width=48 height=48 flags=16;";
  for (const std::wstring& shellPath : {good, std::wstring()}) {
    g_picturePath = shellPath;
    g_userPicture = nullptr;
    LoadUserPicture();
    RedrawWindow(g_mainWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const char* shown = shellPath.empty() ? "frame yellow; frame yellow; frame yellow; "
                                          : "picture centre; "
                                            "picture top left; picture bottom right; ";
    EXPECT_EQ((shellPath.empty() ? asked : loads) + Format(L"%hs", shown),
              TakeLog() + Format(L"%hs", pixels(picture).c_str()));
  }
  SetSysColors(4, kinds, saved);
}

// Wrong slot bounds, an invalidation missing (also inside the same slot) or extra, captions
// drawn elsewhere or otherwise, an account name start-up does not read or reads into a small
// buffer, wrong link targets, a link opened from a band between slots or from a home value
// too long to read.
TEST(LinkColumn, HoverPaintAndRelease) {
  const std::wstring account(300, L'k');  // longer than the longest name Windows allows
  ShowPopup(L"bare", account);
  const RECT links = {260, 70, 398, 426}, none = {};  // the column, nothing
  const std::wstring home = Tree(L"bare");
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
  auto rowText = [](POINT at, RECT invalid, const std::wstring& effect) {
    return Format(L"%ld, %ld: invalid %ld, %ld, %ld, %ld; click: ", at.x, at.y, invalid.left, invalid.top,
                  invalid.right, invalid.bottom) +
           effect;
  };
  for (const MoveRow& row : moves) {
    RECT update = {};
    ValidateRect(g_mainWnd, nullptr);
    MoveTo(row.cursor.x, row.cursor.y);
    GetUpdateRect(g_mainWnd, &update, FALSE);
    EXPECT_EQ(rowText(row.cursor, row.invalid, row.opens.empty() ? L"" : Opened(row.opens) + L"quit code=0;"),
              rowText(row.cursor, update, Send(WM_LBUTTONUP, 0, 0)));
  }
  ASSERT_TRUE(FAKE(DrawTextW));
  RedrawWindow(g_mainWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);  // 16384: DT_PATH_ELLIPSIS
  // clang-format off
  struct CaptionRow { std::wstring text; int top, bottom; };
  const CaptionRow captions[] = {{account, 78, 102}, {L"Documents", 113, 138}, {L"Pictures", 150, 174},
      {L"Music", 186, 210}, {L"Downloads", 222, 246}, {L"Computer", 258, 282}, {L"Network", 293, 318},
      {L"Control Panel", 330, 354}, {L"Devices and Printers", 366, 390}, {L"Run...", 402, 426}};
  // clang-format on
  std::wstring drawn;
  for (const CaptionRow& row : captions)
    drawn += Caption(row.text.c_str(), -1, {268, row.top, 398, row.bottom}, 16384);
  EXPECT_EQ(drawn, TakeLog());
  SetEnvironmentVariableW(L"homepath", (L"\\" + std::wstring(1500, L'x')).c_str());
  ReadHomeFolders();  // "Music" opens nothing now
  EXPECT_EQ(L"home too long: quit code=0;", L"home too long: " + Send(WM_LBUTTONUP, 0, 0));
}

// A pinned list start-up does not fill, or fills wrongly (names left out case-blind or not at
// all, shown texts, paths and parameters out of step, icons of other items, small, without a
// mask or that change when selected); a click that opens the wrong item or one below the rows, a
// right click that opens one; a folder not built from the home values.
TEST(PinnedItems, ListingClickAndFolder) {
  ShowPopup(L"home", L"kes", 9);
  const std::wstring folder = Tree(L"home") + L"\\Documents\\StartItems\\";
  std::wstring listing;
  // Its colours only: an image list keeps a mask of its own for it.
  const std::string icon46 = IconBits(ExtractIconW(nullptr, L"shell32.dll", 46)).substr(0, 4096);
  HIMAGELIST images = TreeView_GetImageList(g_treeWnd, TVSIL_NORMAL);
  for (HTREEITEM item = TreeView_GetRoot(g_treeWnd); item; item = TreeView_GetNextSibling(g_treeWnd, item)) {
    wchar_t text[64] = L"";
    TVITEMW got = {TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE, item, 0, 0, text, 64};
    TreeView_GetItem(g_treeWnd, &got);
    std::wstring path = g_pinnedPaths.at(got.lParam);
    std::string is = IconBits(ImageList_GetIcon(images, got.iImage, ILD_NORMAL));
    auto icon = is == ShellLargeIcon(path) ? L" own" : is.find(icon46) ? L" ?" : L" 46";
    listing += text + (L" " + Text(got.lParam)) + L" " + path.substr(path.find(L"\\StartItems\\") + 12) +
               icon + (got.iImage == got.iSelectedImage ? L"\n" : L" !\n");
  }
  // clang-format off
  EXPECT_EQ(L"Desktop.ini 0 Desktop.ini own\nMail 1 Mail own\nMail 2 Mail.lnk own\nNotepad 3 Notepad.lnk own\n"
            L"notes.lnk 4 notes.lnk.txt own\nReadme.txt 5 Readme.txt own\nTools 6 Tools own\n"
            L"Windows Update 7 Windows Update.lnk 46\nwindows update 8 windows update.lnk own\n", listing);
  // clang-format on
  EXPECT_NE(ShellLargeIcon(folder + L"Readme.txt"), ShellLargeIcon(folder + L"Tools"))
      << "icons the shell tells apart";
  const int row = TreeView_GetItemHeight(g_treeWnd);  // in pixels: the rows follow from the top
  // clang-format off
  // Right of the text: a click below the rows, a right click and a click on the first item.
  struct ClickRow { UINT code; int y; std::wstring effect; };
  const ClickRow clicks[] = {{NM_CLICK, 9 * row + 4, L""}, {NM_RCLICK, row / 2, L""},
      {NM_CLICK, row / 2, Opened(folder + L"Desktop.ini") + L"show window=popup command=0;quit code=0;"}};
  // clang-format on
  for (const ClickRow& click : clicks) {
    NMHDR header = {nullptr, 0, click.code};  // from whichever control
    Aim(g_treeWnd, 220, click.y);
    EXPECT_EQ(Format(L"code %d at y %d: ", int(click.code), click.y) + click.effect,
              Format(L"code %d at y %d: ", int(click.code), click.y) + Send(WM_NOTIFY, 0, LPARAM(&header)));
  }
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

  std::string bits;  // each item's bitmap, beside the shell's small icon of its path over the menu colour
  g_lastMenuId = 0;
  EXPECT_EQ(L"\nbutton.ico #1\nFolder >\n  Inner.txt #3\nReadme.txt #4\nrightarrow.ico #5\n",
            Walk(icons, &bits));
  std::wstring shown, expected;
  const wchar_t* items[] = {L"button.ico", L"Folder", L"Folder\\Inner.txt", L"Readme.txt", L"rightarrow.ico"};
  for (size_t i = 0; i < 5; ++i) {
    expected += items[i] + std::wstring(L": the shell's icon\n");
    shown += items[i] + std::wstring(bits.substr(i * 1024, 1024) == ShellMenuIcon(icons + L"\\" + items[i])
                                         ? L": the shell's icon\n"
                                         : L": another bitmap\n");
  }
  EXPECT_EQ(expected, shown);
  EXPECT_NE(ShellMenuIcon(icons + L"\\button.ico"), ShellMenuIcon(icons + L"\\Folder"))
      << "icons the shell tells apart";
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
