// The popup made in-process and driven with messages, with stand-ins for the calls that must
// not really happen. Each test names the faults it is there to catch.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <tuple>

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
std::wstring g_log;           // what the stand-ins were asked, e.g. "open x;show 0;quit 0;"

std::wstring N(long long value) { return std::to_wstring(value); }
void Log(const std::wstring& entry) { g_log += entry + L";"; }
std::wstring TakeLog() { return std::exchange(g_log, std::wstring()); }

// One line per item, submenus indented: "label #id" or "label >", "-" for a separator,
// " (no icon)" for an item without a 16 x 16 bitmap; the bitmaps' bits go to bits.
std::wstring Listing(HMENU menu, const std::wstring& indent = L"", std::string* bits = nullptr) {
  std::wstring text;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    wchar_t label[1024] = L"";
    UINT mask = MIIM_STRING | MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE | MIIM_CHECKMARKS;
    MENUITEMINFOW item = {sizeof(item), mask, 0, 0, 0, nullptr, nullptr, nullptr, 0, label, 1024};
    GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item);
    BITMAP b = {};
    bool icon = GetObjectW(item.hbmpUnchecked, sizeof(b), &b) && b.bmWidth == 16 && b.bmHeight == 16;
    std::wstring line = label + (item.hSubMenu ? L" >" : L" #" + N(item.wID)) + (icon ? L"" : L" (no icon)");
    text += indent + (item.fType & MFT_SEPARATOR ? L"-" : line) + L"\n";
    if (bits && icon) bits->append(1024, 0), GetBitmapBits(item.hbmpUnchecked, 1024, &*(bits->end() - 1024));
    if (item.hSubMenu) text += Listing(item.hSubMenu, indent + L"  ", bits);
  }
  return text;
}

// The stand-ins: each logs its call and does nothing more.
void WINAPI FakePostQuitMessage(int code) { Log(L"quit " + N(code)); }
HINSTANCE WINAPI FakeShellExecuteW(HWND, LPCWSTR, LPCWSTR file, LPCWSTR, LPCWSTR, INT) {
  Log(L"open " + std::wstring(file ? file : L"(null)"));
  return reinterpret_cast<HINSTANCE>(33);
}
BOOL WINAPI FakeGetCursorPos(POINT* point) { return *point = g_cursor, TRUE; }
BOOL WINAPI FakeShowWindow(HWND, int command) { return Log(L"show " + N(command)), TRUE; }
UINT_PTR WINAPI FakeSetTimer(HWND, UINT_PTR id, UINT ms, TIMERPROC) {
  return Log(L"timer " + N(id) + L" " + N(ms)), id;
}
BOOL WINAPI FakeKillTimer(HWND, UINT_PTR id) { return Log(L"kill " + N(id)), TRUE; }
BOOL WINAPI FakeTrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND, const RECT*) {
  return Log(L"menu " + N(x) + L"," + N(y) + L" " + N(flags) + L":\n" + Listing(menu)), TRUE;
}
BOOL WINAPI FakeAdjustTokenPrivileges(HANDLE, BOOL, TOKEN_PRIVILEGES* set, DWORD, TOKEN_PRIVILEGES*, DWORD*) {
  return Log(L"privilege " + N(set->Privileges[0].Luid.LowPart) + L" " + N(set->Privileges[0].Attributes)),
         TRUE;
}
BOOL WINAPI FakeExitWindowsEx(UINT flags, DWORD reason) {
  return Log(L"exit " + N(flags) + L" " + N(reason)), TRUE;
}
BOOL WINAPI FakeLockWorkStation() { return Log(L"lock"), TRUE; }

#define FAKE(function) PatchImport(#function, reinterpret_cast<void*>(Fake##function))

// The popup as start-up makes it, without the loader thread and the message loop; the
// stand-ins answer from then on.
void ShowPopup() {
  g_hInstance = GetModuleHandleW(nullptr);
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_COOL_CLASSES};
  InitCommonControlsEx(&controls);
  g_linkBackBitmap = LoadBitmapW(g_hInstance, L"IDB_LINKBUTTONBACK");
  RegisterMainClass();
  FindTaskbar();
  CreateMainWindow();
  InitLinkSlots();
  UpdateWindow(g_mainWnd);
  for (void* original : {FAKE(PostQuitMessage), FAKE(ShellExecuteW), FAKE(GetCursorPos), FAKE(ShowWindow),
                         FAKE(SetTimer), FAKE(KillTimer), FAKE(TrackPopupMenu), FAKE(ExitWindowsEx),
                         FAKE(LockWorkStation), FAKE(AdjustTokenPrivileges)})
    ASSERT_NE(nullptr, original) << "an import to stand in for is missing";
}

std::wstring Tree(const wchar_t* name) {
  return Beside(L"..\\trees\\" + std::wstring(name));
}  // see tests/CMakeLists.txt

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

int WhitePixels(int left, int top) {  // in the 62 x 16 pixels where a caption begins
  int count = 0;
  for (int i = 0; i < 62 * 16; ++i) count += Pixel(left + i % 62, top + i / 62) == RGB(255, 255, 255);
  return count;
}

void MoveTo(int x, int y) {
  Aim(g_mainWnd, x, y);
  SendMessageW(g_mainWnd, WM_MOUSEMOVE, 0, 0);
}

std::wstring Send(UINT message, WPARAM wParam, LPARAM lParam) {
  TakeLog();
  EXPECT_EQ(0, SendMessageW(g_mainWnd, message, wParam, lParam)) << message;
  return TakeLog();
}

std::wstring Walk(const std::wstring& folder, std::string* bits = nullptr) {
  HMENU menu = CreatePopupMenu();
  BuildProgramsMenu(folder, std::wstring(L"*"), menu);
  std::wstring listing = L"\n" + Listing(menu, L"", bits);
  DestroyProgramsMenu(menu);
  return listing;
}

HWND Popup() {
  HWND popup = nullptr;
  WaitFor([&] { return (popup = FindWindowW(L"Kestrelon", nullptr)) && IsWindowVisible(popup); }, 10000);
  return popup;
}

}  // namespace

// A wrong case rule, a search only at the end, a cut of anything but four characters.
TEST(ShellHelpers, ShortcutNameRules) {
  // clang-format off
  const std::tuple<const wchar_t*, int, const wchar_t*> rows[] = {
      {L"Mail.lnk", 1, L"Mail"}, {L"MAIL.LNK", 1, L"MAIL"}, {L"Mail.Lnk", 0, L"Mail"}, {L"notes.lnk.txt", 1, L"notes.lnk"},
      {L".lnk", 1, L""}, {L"lnk", 0, L"lnk"}, {L"", 0, L""}, {L"Readme.txt", 0, L"Readme"}};
  // clang-format on
  for (auto [name, shortcut, shown] : rows) {
    wchar_t copy[16];
    wcscpy_s(copy, name);
    StripShortcutExtension(copy);
    EXPECT_EQ(shortcut, IsShortcutName(name)) << name;
    EXPECT_STREQ(shown, copy) << name;
  }
  EXPECT_EQ(0, IsShortcutName(nullptr));
  StripShortcutExtension(nullptr);
}

// A wrong class, text, style, place or font of the popup and its controls, a popup that does
// not stand on the taskbar (Wine's desktop here: 1024 x 768, the taskbar at y 748), a missing
// arrow icon or manifest.
TEST(MainWindow, LayoutOnTheTaskbar) {
  ShowPopup();
  NONCLIENTMETRICSW metrics = {500};
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, 500, &metrics, 0);
  // clang-format off
  const std::tuple<int, const wchar_t*, const wchar_t*, DWORD, DWORD, RECT> rows[] = {
      {0, L"Kestrelon", L"", 0x96010000, 0x02000088, {0, 263, 410, 748}},
      {IDC_SHUTDOWN, L"Button", L"Shut down...", 0x50000000, 0, {265, 706, 350, 728}},
      {IDC_PINNEDTREE, L"SysTreeView32", L"", 0x50001210, 0, {14, 276, 244, 651}},
      {IDC_ALLPROGRAMS, L"Button", L"     All Programs", 0x50000100, 0, {10, 660, 248, 688}}};
  // clang-format on
  for (auto [id, className, text, style, exStyle, rect] : rows) {
    HWND window = id ? GetDlgItem(g_mainWnd, id) : g_mainWnd;
    wchar_t name[32], caption[32];
    RECT placed;
    LOGFONTW font = {};
    GetClassNameW(window, name, 32);
    GetWindowTextW(window, caption, 32);
    GetWindowRect(window, &placed);
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_STREQ(className, name);
    EXPECT_STREQ(text, caption);
    EXPECT_EQ(style, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE))) << name;
    EXPECT_EQ(exStyle, static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE))) << name;
    EXPECT_TRUE(EqualRect(&rect, &placed)) << name;
    EXPECT_TRUE(!id || !memcmp(&metrics.lfMenuFont, &font, sizeof(font))) << name;  // the menu font
  }
  EXPECT_NE(0, SendDlgItemMessageW(g_mainWnd, IDC_ALLPROGRAMS, BM_GETIMAGE, IMAGE_ICON, 0));
  wchar_t comctl[MAX_PATH];  // the manifest brings version 6, from the side-by-side store
  EXPECT_TRUE(GetModuleFileNameW(GetModuleHandleW(L"comctl32.dll"), comctl, MAX_PATH) &&
              wcsstr(comctl, L"6.0."));
}

// A wrong row of the message table: what ends the run, arms or kills the dismissal timer,
// launches or hides, and what must do nothing.
TEST(MainWindow, MessageTable) {
  ShowPopup();
  auto button = reinterpret_cast<LPARAM>(GetDlgItem(g_mainWnd, IDC_ALLPROGRAMS));
  NMHDR other = {g_treeWnd, IDC_PINNEDTREE, static_cast<UINT>(NM_RCLICK)};
  // clang-format off
  const std::tuple<UINT, WPARAM, LPARAM, const wchar_t*> rows[] = {
      {WM_KEYDOWN, 'A', 0, L""}, {WM_KEYDOWN, VK_ESCAPE, 0, L"quit 0;"}, {WM_DESTROY, 0, 0, L"quit 0;"},
      {WM_ACTIVATEAPP, 1, 0, L""}, {WM_ACTIVATEAPP, WPARAM(1) << 32, 0, L"timer 7000 1000;"},  // 32 bits of 0
      {WM_TIMER, 42, 0, L"kill 7000;quit 0;"}, {WM_LBUTTONUP, 0, 0, L""}, {WM_NOTIFY, 0, 0, L""},
      {WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&other), L""}, {WM_COMMAND, 4000, button, L""},
      {WM_COMMAND, MAKEWPARAM(4000, 1), 0, L""}, {WM_COMMAND, 4000, 0, L"open ;quit 0;"},  // an id without entry
      {UM_CLOSEMENU, 0, 0, L"show 0;quit 0;"}};
  // clang-format on
  for (auto [message, wParam, lParam, log] : rows)
    EXPECT_EQ(log, Send(message, wParam, lParam)) << std::hex << message;
}

// A misplaced or miscoloured panel, separator, frame or border, an account picture not scaled
// to 48 x 48, captions missing from the first paint.
TEST(Panel, PixelsOfTheFirstPaint) {
  wcscpy_s(g_userName, L"Kestrel");
  // Under Wine the picture is looked for by account name: give it the 96 x 96 demo picture.
  std::wstring folder = L"C:\\ProgramData\\Microsoft\\User Account Pictures";
  CreateDirectoryW(folder.c_str(), nullptr);
  CopyFileW(Tree(L"demo-account.bmp").c_str(), (folder + L"\\" + g_userName + L".bmp").c_str(), FALSE);
  LoadUserPicture();
  DeleteFileW((folder + L"\\" + g_userName + L".bmp").c_str());
  ShowPopup();
  const COLORREF white = RGB(255, 255, 255), light = GetSysColor(COLOR_3DLIGHT),
                 menu = GetSysColor(COLOR_MENU), frame = GetSysColor(COLOR_GRADIENTACTIVECAPTION),
                 border = RGB(125, 125, 125), grey = GetSysColor(COLOR_GRAYTEXT),
                 head = RGB(0xB4, 0x64, 0x28), sky = RGB(0x5B, 0x9A, 0xD2);
  // clang-format off
  const std::tuple<int, int, COLORREF> rows[] = {  // panel, separator, frame, border, picture, column
      {11, 390, white}, {248, 12, white}, {9, 200, menu}, {14, 393, light}, {243, 393, light}, {244, 393, white},
      {300, 36, light}, {301, 36, frame}, {302, 36, frame}, {303, 36, border}, {352, 36, border}, {353, 36, frame},
      {303, 11, border}, {328, 31, head}, {328, 13, sky}, {300, 104, grey}, {390, 110, grey}, {255, 150, grey}};
  // clang-format on
  for (auto [x, y, colour] : rows) EXPECT_EQ(colour, Pixel(x, y)) << x << ", " << y;
  EXPECT_GT(WhitePixels(268, 113), 10);  // "Documents"
}

// Wrong slot bounds, an invalidation missing (also inside the same slot) or extra, a stale or
// vanished highlight after several moves or a system erase, wrong link targets.
TEST(LinkColumn, HoverPaintAndRelease) {
  ShowPopup();
  const RECT column = {260, 70, 398, 426}, none = {};
  // clang-format off
  const std::tuple<int, int, int, RECT> moves[] = {  // the cursor, the slot it is in, the area to paint
      {300, 60, 0, none}, {300, 110, IDL_DOCUMENTS, column}, {300, 120, IDL_DOCUMENTS, column}, {300, 103, 0, column},
      {300, 104, 0, none}, {397, 75, IDL_USERHOME, column}, {398, 75, 0, column}, {300, 174, 0, none},
      {300, 173, IDL_PICTURES, column}, {259, 150, 0, column}, {260, 425, IDL_RUN, column}};
  // clang-format on
  for (auto [x, y, hoverId, invalid] : moves) {
    RECT update = {};
    ValidateRect(g_mainWnd, nullptr);
    MoveTo(x, y);
    GetUpdateRect(g_mainWnd, &update, FALSE);
    EXPECT_EQ(hoverId, g_hoverId) << x << ", " << y;
    EXPECT_TRUE(EqualRect(&invalid, &update)) << x << ", " << y;
  }
  // The highlight art's upper half, and the column's background.
  const COLORREF highlight = RGB(0x9C, 0xB4, 0xCE), grey = GetSysColor(COLOR_GRAYTEXT);
  for (int y : {110, 150, 160}) MoveTo(300, y);
  UpdateWindow(g_mainWnd);
  EXPECT_EQ(highlight, Pixel(390, 146));
  EXPECT_EQ(grey, Pixel(390, 110));
  RedrawWindow(g_mainWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  EXPECT_EQ(highlight, Pixel(390, 146));
  EXPECT_GT(WhitePixels(268, 150), 10);  // "Pictures" over its highlight
  MoveTo(300, 104);
  UpdateWindow(g_mainWnd);
  EXPECT_EQ(grey, Pixel(390, 146));

  wcscpy_s(g_homeDrive, L"C:");
  wcscpy_s(g_homePath, L"\\Users\\kes");
  // clang-format off
  const wchar_t* targets[] = {L"C:\\Users\\kes", L"C:\\Users\\kes\\Documents", L"C:\\Users\\kes\\Pictures",
      L"C:\\Users\\kes\\Music", L"C:\\Users\\kes\\Downloads", L".\\Computer.lnk", L".\\Network.lnk",
      L".\\Control Panel.lnk", L".\\Devices and Printers.lnk", L".\\Run.lnk"};
  // clang-format on
  for (int slot = 0; slot < 10; ++slot) {
    MoveTo(300, 80 + 36 * slot);
    EXPECT_EQ(L"open " + std::wstring(targets[slot]) + L";quit 0;", Send(WM_LBUTTONUP, 0, 0));
  }
  MoveTo(300, 104);
  EXPECT_EQ(L"", Send(WM_LBUTTONUP, 0, 0));  // a band opens nothing
}

// A wrong listing (names left out case-blind or not at all, shown texts, paths and parameters
// out of step, icons that change when selected), a selection left behind, a click that opens
// the wrong item or one outside the rows, a folder not built from the globals alone.
TEST(PinnedItems, ListingClickAndFolder) {
  ShowPopup();
  std::wstring folder = Tree(L"pinned") + L"\\", listing;
  LoadPinnedItems(folder);
  LoadPinnedItems((Tree(L"pinned-case") + L"\\").c_str());
  const int row = TreeView_GetItemHeight(g_treeWnd);  // in pixels: the rows follow from the top
  for (HTREEITEM item = TreeView_GetRoot(g_treeWnd); item; item = TreeView_GetNextSibling(g_treeWnd, item)) {
    wchar_t text[64] = L"";
    TVITEMW got = {TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE, item, 0, 0, text, 64};
    TreeView_GetItem(g_treeWnd, &got);
    std::wstring path = g_pinnedPaths.at(got.lParam);
    listing += text + (L" " + N(got.lParam)) + L" " + path.substr(path.find(L"\\trees\\") + 7) +
               (got.iImage == got.iSelectedImage ? L"\n" : L" (image changes)\n");
  }
  EXPECT_EQ(
      L"Mail 0 pinned\\Mail\nMail 1 pinned\\Mail.lnk\nNotepad 2 pinned\\Notepad.lnk\n"
      L"notes.lnk 3 pinned\\notes.lnk.txt\nReadme.txt 4 pinned\\Readme.txt\nTools 5 pinned\\Tools\n"
      L"Windows Update 6 pinned\\Windows Update.lnk\nDesktop.ini 7 pinned-case\\Desktop.ini\n",
      listing);
  EXPECT_EQ(nullptr, TreeView_GetSelection(g_treeWnd));

  NMHDR click = {nullptr, 0, static_cast<UINT>(NM_CLICK)};           // from whichever control
  for (LPARAM outside : {LPARAM(8), LPARAM(-1), LPARAM(1) << 32}) {  // not a position in the list
    TVITEMW change = {TVIF_PARAM, TreeView_GetRoot(g_treeWnd)};
    change.lParam = outside;
    TreeView_SetItem(g_treeWnd, &change);
    Aim(g_treeWnd, 20, row / 2);
    EXPECT_EQ(L"", Send(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&click))) << outside;
  }
  Aim(g_treeWnd, 100, 8 * row + 4);  // below the last row
  EXPECT_EQ(L"", Send(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&click)));
  Aim(g_treeWnd, 220, 2 * row + row / 2);  // blank space right of "Notepad"
  EXPECT_EQ(L"open " + folder + L"Notepad.lnk;show 0;quit 0;",
            Send(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&click)));

  // clang-format off
  for (auto [drive, path, pinned] : {std::tuple{L"C:", L"\\Users\\kes", L"C:\\Users\\kes\\Documents\\StartItems\\"},
                                     {L"", L"", L"\\Documents\\StartItems\\"}}) {
    // clang-format on
    wcscpy_s(g_homeDrive, drive);
    wcscpy_s(g_homePath, path);
    StartPinnedItemsLoader();  // its thread then waits on the tree, which this thread serves no more
    EXPECT_STREQ(pinned, g_pinnedDir);
  }
}

// Wrong labels, names not left out (or left out case-blind), folders that take no number, ids
// inside 5000-5005 or past 65535, missing icons, wrong lookups, a menu shown elsewhere than
// over the button, a choice that is not launched.
TEST(ProgramsMenu, ListingIdsShowingAndChoice) {
  ShowPopup();
  std::wstring root = Tree(L"programs"), wrap = Tree(L"wrap");
  g_lastMenuId = 4997;
  EXPECT_EQ(
      L"\nApp #4998\nCaps >\n  DESKTOP.INI #5006\nEmpty >\nSite.url #5008\nTom & Jerry.txt #5009\n"
      L"Tool.lnk #5010\nTools >\n  Inner.txt #5012\nUpper >\n  Kept.txt #5014\n",
      Walk(root));
  // clang-format off
  for (auto [id, path] : {std::pair{4998, root + L"\\App.lnk"}, {5006, root + L"\\Caps\\DESKTOP.INI"},
                          {5010, root + L"\\Tool.lnk.bak"}, {5012, root + L"\\Tools.lnk\\Inner.txt"}, {4999, L""}})
    EXPECT_EQ(path, FindProgramPath(id)) << id;
  // clang-format on
  EXPECT_EQ(0u, Send(WM_COMMAND, IDC_ALLPROGRAMS, 0).rfind(L"menu 11,693 32:\n", 0));  // over the button
  EXPECT_EQ(L"open " + root + L"\\Tools.lnk\\Inner.txt;quit 0;", Send(WM_COMMAND, 5012, 0));
  // All icons of a press made after the walk equal those made one by one during it, on a tree
  // of several different icons.
  std::wstring icons = Tree(L"icons");
  for (std::wstring exe : {L"notepad.exe", L"regedit.exe"})
    CopyFileW((L"C:\\windows\\" + exe).c_str(), (icons + L"\\" + exe).c_str(), FALSE);
  std::string bits, shellBits;  // each item's bitmap, and the one the shell's icon of its path gives
  g_lastMenuId = 0;
  EXPECT_EQ(L"\nFolder >\n  Inner.txt #2\nnotepad.exe #3\nReadme.txt #4\nregedit.exe #5\n", Walk(icons, &bits));
  for (const wchar_t* path : {L"Folder", L"Folder\\Inner.txt", L"notepad.exe", L"Readme.txt", L"regedit.exe"}) {
    HBITMAP icon = MakeMenuIconBitmap(icons + L"\\" + path);
    shellBits.append(1024, 0);
    GetBitmapBits(icon, 1024, &shellBits[shellBits.size() - 1024]);
    DeleteObject(icon);
  }
  EXPECT_EQ(shellBits, bits);
  EXPECT_NE(bits.substr(0, 1024), bits.substr(2048, 1024));  // a folder's icon, a program's
  g_lastMenuId = 65533;  // past 65535 numbering starts over at 1 and forgets finished presses
  EXPECT_EQ(L"\na.txt #65534\nb.txt #65535\nc.txt #1\n", Walk(wrap));
  EXPECT_EQ(wrap + L"\\c.txt", FindProgramPath(1));
  EXPECT_EQ(L"", FindProgramPath(4998));
}

// A wrong session menu (items, order, ids, bitmaps, place), a wrong call or flags for a command
// from either path, a missing or late privilege step, an action that does not end the run.
TEST(SessionMenu, MenuAndTheFourActions) {
  ShowPopup();
  auto button = reinterpret_cast<LPARAM>(GetDlgItem(g_mainWnd, IDC_SHUTDOWN));
  const wchar_t* menu =  // below the popup's bottom at 748
      L"menu 350,728 32:\nLog off #5003 (no icon)\nLock #5004 (no icon)\n-\nRestart #5001 (no icon)\n-\n"
      L"Shut down #5002 (no icon)\n;";
  // clang-format off
  const std::tuple<WPARAM, LPARAM, const wchar_t*> rows[] = {  // 19: SeShutdownPrivilege
      {MAKEWPARAM(IDC_SHUTDOWN, BN_CLICKED), button, menu}, {IDC_SHUTDOWN, 0, menu},
      {IDM_LOGOFF, 0, L"privilege 19 2;exit 0 0;quit 0;"}, {IDM_LOCK, button, L"privilege 19 2;lock;quit 0;"},
      {IDM_RESTART, 0, L"privilege 19 2;exit 2 0;quit 0;"}, {MAKEWPARAM(IDM_SHUTDOWN, 1), 0, L"privilege 19 2;exit 8 0;quit 0;"}};
  // clang-format on
  for (auto [wParam, lParam, log] : rows) EXPECT_EQ(log, Send(WM_COMMAND, wParam, lParam)) << wParam;
}

// Overruns on long, non-BMP and right-to-left names, a walk that follows a folder link back to
// its ancestor for ever, home values too long for their buffers used cut or empty.
TEST(HostileInput, NamesLoopsAndLongHomes) {
  ShowPopup();
  std::wstring root = Tree(L"hostile"), listing = Walk(root), l255 = L"L" + std::wstring(250, L'l') + L".txt";
  // clang-format off
  const std::pair<std::wstring, std::wstring> names[] = {  // name, shown label
      {L"\xD83D\xDC26 Bird.txt", L"\xD83D\xDC26 Bird.txt"}, {L"\x05E9\x05DC\x05D5\x05DD.lnk", L"\x05E9\x05DC\x05D5\x05DD"},
      {L"\x0645\x0631\x062D\x0628\x0627 abc.txt", L"\x0645\x0631\x062D\x0628\x0627 abc.txt"}, {L"&&.txt", L"&&.txt"},
      {l255, l255}, {std::wstring(251, L'S') + L".lnk", std::wstring(251, L'S')}};
  // clang-format on
  EXPECT_NE(std::wstring::npos, listing.find(L"\nLoop >\n")) << listing;
  EXPECT_EQ(std::wstring::npos, listing.find(L"\n  ")) << listing;  // the link back stays empty
  LoadPinnedItems(root + L"\\");
  EXPECT_EQ(7, TreeView_GetCount(g_treeWnd));
  for (const auto& [name, label] : names) {
    EXPECT_NE(std::wstring::npos, listing.find(L"\n" + label + L" #")) << label.size();
    EXPECT_EQ(1, std::count(g_pinnedPaths.begin(), g_pinnedPaths.end(), root + L"\\" + name)) << name.size();
  }
  SetEnvironmentVariableW(L"homedrive", L"C:");
  SetEnvironmentVariableW(L"homepath", (L"\\" + std::wstring(1500, L'x')).c_str());
  ReadHomeFolders();
  StartPinnedItemsLoader();
  EXPECT_TRUE(g_homeTooLong && !std::wcscmp(L"C:", g_homeDrive) && !g_homePath[0] && !g_pinnedDir[0]);
  MoveTo(300, 116);
  EXPECT_EQ(L"quit 0;", Send(WM_LBUTTONUP, 0, 0));  // "Documents" opens nothing then
  MoveTo(300, 260);
  EXPECT_EQ(L"open .\\Computer.lnk;quit 0;", Send(WM_LBUTTONUP, 0, 0));
}

// kestrelon.exe as a process of its own: what only a whole run shows.

// A second start that shows a popup of its own or leaves the first open, an Esc that does not
// end the run; every run exits 0.
TEST(EndToEnd, SecondStartAndEscEndTheRun) {
  PROCESS_INFORMATION first = Start(Beside(L""));
  ASSERT_NE(nullptr, Popup());
  EXPECT_EQ(0, ExitCode(Start(Beside(L""))));  // one that made a popup of its own would run on
  EXPECT_EQ(0, ExitCode(first));
  PROCESS_INFORMATION third = Start(Beside(L""));
  PostMessageW(Popup(), WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(0, ExitCode(third));
}

// A second start that waits without bound for a popup that does not answer.
TEST(EndToEnd, SecondStartDoesNotHangOnAHungPopup) {
  PROCESS_INFORMATION popup = Start(Beside(L""));
  ASSERT_NE(nullptr, Popup());
  SuspendThread(popup.hThread);  // the popup's one window thread: it answers nothing now
  EXPECT_EQ(0, ExitCode(Start(Beside(L""))));
  ResumeThread(popup.hThread);
  PostMessageW(FindWindowW(L"Kestrelon", nullptr), WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(0, ExitCode(popup));
}

// A link that does not open its shortcut in the working directory, a launch that does not end
// the run.
TEST(EndToEnd, ComputerLinkOpensItsShortcut) {
  std::wstring dir = Tree(L"launch"), log = dir + L"\\launched.txt";
  DeleteFileW(log.c_str());
  ASSERT_TRUE(MakeShortcut(dir + L"\\Computer.lnk", L"C:\\windows\\system32\\cmd.exe",
                           L"/c echo launched> \"" + log + L"\""));
  PROCESS_INFORMATION popup = Start(dir);
  POINT slot = {390, 255};  // upper half of "Computer", past its caption
  ClientToScreen(Popup(), &slot);
  HDC screen = GetDC(nullptr);  // the real cursor, placed again until the slot shows highlighted
  EXPECT_TRUE(WaitFor(
      [&] {
        return SetCursorPos(slot.x, slot.y + 10) && GetPixel(screen, slot.x, slot.y) == RGB(0x9C, 0xB4, 0xCE);
      },
      10000));
  ReleaseDC(nullptr, screen);
  PostMessageW(Popup(), WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(0, ExitCode(popup));
  EXPECT_TRUE(WaitFor([&] { return GetFileAttributesW(log.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000));
}

// A direct import of a library only the popup needs: every toggle would load it, with its own
// start-up work, before it even looks for the open popup.
TEST(EndToEnd, ImportsOnlyWhatASecondStartNeeds) {
  auto base = reinterpret_cast<BYTE*>(
      LoadLibraryExW(Beside(L"kestrelon.exe").c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
  ASSERT_NE(nullptr, base);
  std::string dlls;
  for (auto dll = Imports(base); dll->Name; ++dll)
    dlls += reinterpret_cast<char*>(base + dll->Name) + std::string(" ");
  EXPECT_EQ("ADVAPI32.dll GDI32.dll KERNEL32.dll msvcrt.dll USER32.dll ", dlls);
}
