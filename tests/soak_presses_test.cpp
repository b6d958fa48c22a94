// One long run of the in-process popup: a hundred "All Programs" presses through the button and a
// thousand hover moves over the link column. Every menu, DC, bitmap, font, pen and brush they make
// is counted here through the test program's own imports (GetGuiResources says 0 under Wine),
// and the commit charge must stay flat.
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "app/ids.h"
#include "app/state.h"
#include "programs/programs_menu.h"
#include "support/panel_popup.h"
#include "support/popup_fixture.h"
#include "support/wine_test.h"

namespace {

// What 100 presses of a ten-item tree and 1,000 moves may add to the commit charge: the
// presses keep their id-to-path entries (about 250 bytes each, 800 of them) until the id space
// starts over, and the heap grows in steps. 1 MB is generous for that and small next to what a
// leak of each press's menu tree would cost.
constexpr SIZE_T kCommitAllowance = 1024 * 1024;

// --- closing each tracked menu in-process as soon as it shows ---

constexpr UINT_PTR kSafetyTimer = 0x5AFE;

struct MenuWatch {
  int shown = 0;
  int timedOut = 0;
  bool ended = false;
  std::wstring ourFolderItems;  // labels of the test folder's submenu, at the first show
};
MenuWatch g_menuWatch;
WNDPROC g_popupProc;

std::wstring LabelsOf(HMENU menu) {
  std::wstring labels;
  for (int position = 0; position < GetMenuItemCount(menu); ++position) {
    wchar_t label[256] = L"";
    GetMenuStringW(menu, static_cast<UINT>(position), label, 256, MF_BYPOSITION);
    HMENU submenu = GetSubMenu(menu, position);
    labels += std::wstring(label) + (submenu ? L" > [" + LabelsOf(submenu) + L"]" : L"") + L";";
  }
  return labels;
}

void NoteOurFolder(HMENU root) {
  for (int position = 0; position < GetMenuItemCount(root); ++position) {
    wchar_t label[256] = L"";
    GetMenuStringW(root, static_cast<UINT>(position), label, 256, MF_BYPOSITION);
    if (std::wstring(label).rfind(L"Kestrel Soak ", 0) == 0 && GetSubMenu(root, position))
      g_menuWatch.ourFolderItems = LabelsOf(GetSubMenu(root, position));
  }
}

LRESULT CALLBACK WatchingPopupProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ENTERIDLE && wParam == MSGF_MENU && !g_menuWatch.ended) {
    g_menuWatch.ended = true;
    ++g_menuWatch.shown;
    HWND menuWindow = reinterpret_cast<HWND>(lParam);
    if (g_menuWatch.ourFolderItems.empty() && IsWindow(menuWindow))
      NoteOurFolder(reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0)));
    EndMenu();
    return 0;
  }
  // The popup ends its run on any timer: the safety timer must not reach it.
  if (message == WM_TIMER && wParam == kSafetyTimer) {
    if (!g_menuWatch.ended) {
      g_menuWatch.ended = true;
      ++g_menuWatch.timedOut;
      EndMenu();
    }
    return 0;
  }
  return CallWindowProcW(g_popupProc, window, message, wParam, lParam);
}

// A click on "All Programs" as the button reports it; returns once the menu is gone again.
void PressAllPrograms() {
  g_menuWatch.ended = false;
  SetTimer(g_mainWnd, kSafetyTimer, 10000, nullptr);
  HWND button = GetDlgItem(g_mainWnd, IDC_ALLPROGRAMS);
  SendMessageW(g_mainWnd, WM_COMMAND, MAKEWPARAM(IDC_ALLPROGRAMS, BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
  KillTimer(g_mainWnd, kSafetyTimer);
}

// One hover move: the real cursor goes to the point, the popup hears of it and paints at once.
void HoverMove(int x, int y) {
  POINT screen = kt::PopupToScreen(x, y);
  kt::PlaceCursor(screen);
  SendMessageW(g_mainWnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
  UpdateWindow(g_mainWnd);
}

// Through slots, the bands between them and the space right of the column.
const POINT kHoverStops[] = {{320, 86},  {320, 104}, {320, 122}, {330, 125}, {404, 122},
                             {320, 266}, {320, 302}, {320, 410}, {300, 426}, {320, 160}};
constexpr int kHoverStopCount = sizeof(kHoverStops) / sizeof(kHoverStops[0]);

// --- counting what the code linked into this program makes and frees ---

struct Made {
  std::vector<HMENU> menus;
  std::set<HGDIOBJ> liveObjects;  // bitmaps, memory DCs, fonts, pens, brushes not yet deleted
  int objectsMade = 0;
  int windowDcs = 0;  // GetDC minus ReleaseDC
  int getDcCalls = 0;
};
Made g_made;

decltype(&CreatePopupMenu) g_realCreatePopupMenu;
decltype(&CreateCompatibleBitmap) g_realCreateCompatibleBitmap;
decltype(&CreateCompatibleDC) g_realCreateCompatibleDC;
decltype(&CreateFontIndirectW) g_realCreateFontIndirectW;
decltype(&CreatePen) g_realCreatePen;
decltype(&CreateSolidBrush) g_realCreateSolidBrush;
decltype(&DeleteObject) g_realDeleteObject;
decltype(&DeleteDC) g_realDeleteDC;
decltype(&GetDC) g_realGetDC;
decltype(&ReleaseDC) g_realReleaseDC;

template <typename Handle>
Handle Note(Handle object) {
  if (object) {
    g_made.liveObjects.insert(object);
    ++g_made.objectsMade;
  }
  return object;
}

HMENU WINAPI CountCreatePopupMenu() {
  HMENU menu = g_realCreatePopupMenu();
  g_made.menus.push_back(menu);
  return menu;
}
HBITMAP WINAPI CountCreateCompatibleBitmap(HDC dc, int width, int height) {
  return Note(g_realCreateCompatibleBitmap(dc, width, height));
}
HDC WINAPI CountCreateCompatibleDC(HDC dc) { return Note(g_realCreateCompatibleDC(dc)); }
HFONT WINAPI CountCreateFontIndirectW(const LOGFONTW* font) { return Note(g_realCreateFontIndirectW(font)); }
HPEN WINAPI CountCreatePen(int style, int width, COLORREF colour) {
  return Note(g_realCreatePen(style, width, colour));
}
HBRUSH WINAPI CountCreateSolidBrush(COLORREF colour) { return Note(g_realCreateSolidBrush(colour)); }
BOOL WINAPI CountDeleteObject(HGDIOBJ object) {
  g_made.liveObjects.erase(object);
  return g_realDeleteObject(object);
}
BOOL WINAPI CountDeleteDC(HDC dc) {
  g_made.liveObjects.erase(dc);
  return g_realDeleteDC(dc);
}
HDC WINAPI CountGetDC(HWND window) {
  HDC dc = g_realGetDC(window);
  if (dc) {
    ++g_made.windowDcs;
    ++g_made.getDcCalls;
  }
  return dc;
}
int WINAPI CountReleaseDC(HWND window, HDC dc) {
  int released = g_realReleaseDC(window, dc);
  if (released) --g_made.windowDcs;
  return released;
}

template <typename Function>
bool Swap(const char* dll, const char* name, Function replacement, Function* original) {
  *original = reinterpret_cast<Function>(kt::PatchImport(dll, name, reinterpret_cast<void*>(replacement)));
  return *original != nullptr;
}

template <typename Function>
void Restore(const char* dll, const char* name, Function original) {
  if (original) kt::PatchImport(dll, name, reinterpret_cast<void*>(original));
}

// Menus made by the presses that still exist; a handle value can come back for a later menu,
// so each live value counts once.
size_t LiveMenus() {
  std::set<HMENU> live;
  for (HMENU menu : g_made.menus)
    if (IsMenu(menu)) live.insert(menu);
  return live.size();
}

SIZE_T CommitCharge() {
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof(counters);
  K32GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                          sizeof(counters));
  // PrivateUsage is always 0 under Wine 8; PagefileUsage is the same commit charge and works.
  return counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
}

const std::wstring kProgramsFolder = L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";

class SoakPresses : public ::testing::Test {
 protected:
  void SetUp() override {
    kt::MoveCursor(900, 100);
    // A small tree of the test's own in the folder the button walks: 7 files and a folder of 3.
    folder_ = kProgramsFolder + L"\\Kestrel Soak " + std::to_wstring(GetCurrentProcessId());
    kt::RemoveTree(folder_);
    ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
    for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt", L"d.txt", L"e.txt", L"f.txt"})
      kt::WriteTextFile(folder_ + L"\\" + name, "x");
    ASSERT_TRUE(kt::MakeShortcut(folder_ + L"\\Recorder.lnk", kt::RecorderExe()));
    ASSERT_TRUE(CreateDirectoryW((folder_ + L"\\Sub").c_str(), nullptr));
    for (const wchar_t* name : {L"x.txt", L"y.txt", L"z.txt"})
      kt::WriteTextFile(folder_ + L"\\Sub\\" + name, "x");

    ASSERT_NE(nullptr, kt::ShowPanelPopup(L"Kestrel"));
    g_popupProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(g_mainWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchingPopupProc)));
    ASSERT_NE(nullptr, g_popupProc);
  }
  void TearDown() override {
    Restore("user32.dll", "CreatePopupMenu", g_realCreatePopupMenu);
    Restore("gdi32.dll", "CreateCompatibleBitmap", g_realCreateCompatibleBitmap);
    Restore("gdi32.dll", "CreateCompatibleDC", g_realCreateCompatibleDC);
    Restore("gdi32.dll", "CreateFontIndirectW", g_realCreateFontIndirectW);
    Restore("gdi32.dll", "CreatePen", g_realCreatePen);
    Restore("gdi32.dll", "CreateSolidBrush", g_realCreateSolidBrush);
    Restore("gdi32.dll", "DeleteObject", g_realDeleteObject);
    Restore("gdi32.dll", "DeleteDC", g_realDeleteDC);
    Restore("user32.dll", "GetDC", g_realGetDC);
    Restore("user32.dll", "ReleaseDC", g_realReleaseDC);
    if (g_mainWnd) DestroyWindow(g_mainWnd);
    g_mainWnd = nullptr;
    kt::TakeQuitMessage();
    kt::RemoveTree(folder_);
  }
  std::wstring folder_;
};

TEST_F(SoakPresses, HundredPressesAndThousandMovesLeaveNoObjectAndNoCommitBehind) {
  // Warm-up: the first press and sweep fill the shell's icon cache and the menu and paint code.
  PressAllPrograms();
  ASSERT_EQ(1, g_menuWatch.shown) << "the menu never showed";
  EXPECT_EQ(L"a.txt;b.txt;c.txt;d.txt;e.txt;f.txt;Recorder;Sub > [x.txt;y.txt;z.txt;];",
            g_menuWatch.ourFolderItems);
  for (const POINT& stop : kHoverStops) HoverMove(stop.x, stop.y);
  kt::PumpFor(100);
  SIZE_T commitBefore = CommitCharge();
  ASSERT_GT(commitBefore, 0u) << "no commit charge reported";

  ASSERT_TRUE(Swap("user32.dll", "CreatePopupMenu", CountCreatePopupMenu, &g_realCreatePopupMenu));
  ASSERT_TRUE(Swap("gdi32.dll", "CreateCompatibleBitmap", CountCreateCompatibleBitmap,
                   &g_realCreateCompatibleBitmap));
  ASSERT_TRUE(Swap("gdi32.dll", "CreateCompatibleDC", CountCreateCompatibleDC, &g_realCreateCompatibleDC));
  ASSERT_TRUE(Swap("gdi32.dll", "CreateFontIndirectW", CountCreateFontIndirectW, &g_realCreateFontIndirectW));
  ASSERT_TRUE(Swap("gdi32.dll", "DeleteObject", CountDeleteObject, &g_realDeleteObject));
  ASSERT_TRUE(Swap("gdi32.dll", "DeleteDC", CountDeleteDC, &g_realDeleteDC));
  ASSERT_TRUE(Swap("user32.dll", "GetDC", CountGetDC, &g_realGetDC));
  ASSERT_TRUE(Swap("user32.dll", "ReleaseDC", CountReleaseDC, &g_realReleaseDC));
  // Imported only when some code here makes pens or brushes at run time.
  Swap("gdi32.dll", "CreatePen", CountCreatePen, &g_realCreatePen);
  Swap("gdi32.dll", "CreateSolidBrush", CountCreateSolidBrush, &g_realCreateSolidBrush);

  // 100 rounds of one press and ten moves.
  int moves = 0;
  for (int press = 0; press < 100; ++press) {
    PressAllPrograms();
    for (int i = 0; i < 10; ++i, ++moves) {
      const POINT& stop = kHoverStops[(press + i) % kHoverStopCount];
      HoverMove(stop.x, stop.y);
    }
  }
  kt::PumpFor(100);
  SIZE_T commitAfter = CommitCharge();
  size_t liveMenus = LiveMenus();
  size_t liveObjects = g_made.liveObjects.size();
  int objectsMade = g_made.objectsMade;
  int windowDcs = g_made.windowDcs;
  int getDcCalls = g_made.getDcCalls;
  size_t menusMade = g_made.menus.size();

  EXPECT_EQ(101, g_menuWatch.shown);
  EXPECT_EQ(0, g_menuWatch.timedOut);
  EXPECT_EQ(1000, moves);
  // Each press makes at least the root, our folder and Sub (3 menus), and a bitmap and a memory
  // DC for each of our 12 items against the popup's DC; the folders already there add more.
  EXPECT_GE(menusMade, 300u);
  EXPECT_GE(objectsMade, 2400) << "the presses' item bitmaps and memory DCs, and the hover paints'";
  EXPECT_GE(getDcCalls, 1200) << "the item bitmaps are made against the popup's DC";
  EXPECT_EQ(0u, liveMenus) << "menus left alive";
  EXPECT_EQ(0u, liveObjects) << "bitmaps, DCs, fonts, pens or brushes left alive";
  EXPECT_EQ(0, windowDcs) << "window DCs not released";
  EXPECT_LE(commitAfter, commitBefore + kCommitAllowance)
      << "commit charge grew from " << commitBefore << " to " << commitAfter << " bytes";
  std::printf("commit charge: %zu bytes before, %zu after (%+lld)\n", static_cast<size_t>(commitBefore),
              static_cast<size_t>(commitAfter),
              static_cast<long long>(commitAfter) - static_cast<long long>(commitBefore));
}

}  // namespace
