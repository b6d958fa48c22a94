// Long runs of Kestrelon that count what it leaves behind. One part per run, named on the
// command line (toggle, presses, hovers, programs2000, pinned2000); each prints rows
// "SOAK<TAB>part<TAB>what<TAB>found<TAB>ok|FAIL" and a last line "DONE", and exits 1 when a row
// failed. GetGuiResources says 0 under Wine, so objects are counted through this program's own
// imports, which the program's code linked in here calls.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <map>
#include <set>
#include <string>

#include "app/ids.h"
#include "app/state.h"
#include "panel/link_column.h"
#include "pinned/pinned_items.h"
#include "programs/programs_menu.h"
#include "support/panel_popup.h"
#include "support/pinned_tree.h"
#include "support/wine_test.h"

namespace {

const char* g_part = "";
bool g_failed = false;

void Row(const char* what, const std::string& found, bool ok) {
  std::printf("SOAK\t%s\t%s\t%s\t%s\n", g_part, what, found.c_str(), ok ? "ok" : "FAIL");
  std::fflush(stdout);
  g_failed |= !ok;
}

std::string Format(const char* format, long long a, long long b = 0, long long c = 0) {
  char text[160];
  std::snprintf(text, sizeof(text), format, a, b, c);
  return text;
}

// Commit charge in KiB (PrivateUsage is always 0 under Wine 8; PagefileUsage is the same figure).
long long CommitKiB() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  return static_cast<long long>(counters.PagefileUsage / 1024);
}

// --- objects made and freed by the code linked in here ---

// Live handles by kind; a handle value may come back for a later object, so it is a set.
std::map<std::string, std::set<void*>> g_live;
std::map<std::string, long long> g_made, g_deleted;
long long g_windowDcs;
std::set<HMENU> g_menus;
SRWLOCK g_lock = SRWLOCK_INIT;  // the pinned loader makes its icons on a thread of its own

template <typename Handle>
Handle Note(const char* kind, Handle handle) {
  if (!handle) return handle;
  AcquireSRWLockExclusive(&g_lock);
  g_live[kind].insert(reinterpret_cast<void*>(handle));
  ++g_made[kind];
  ReleaseSRWLockExclusive(&g_lock);
  return handle;
}

void Forget(void* handle) {
  AcquireSRWLockExclusive(&g_lock);
  for (auto& kind : g_live) g_deleted[kind.first] += static_cast<long long>(kind.second.erase(handle));
  ReleaseSRWLockExclusive(&g_lock);
}

#define REAL(function) decltype(&function) real##function
REAL(CreatePopupMenu);
REAL(CreateCompatibleBitmap);
REAL(CreateCompatibleDC);
REAL(CreateFontIndirectW);
REAL(CreatePen);
REAL(CreateSolidBrush);
REAL(DeleteObject);
REAL(DeleteDC);
REAL(GetDC);
REAL(ReleaseDC);
REAL(ImageList_GetIcon);
REAL(DestroyIcon);

HMENU WINAPI CountCreatePopupMenu() {
  HMENU menu = realCreatePopupMenu();
  g_menus.insert(menu);
  ++g_made["menus"];
  return menu;
}
HBITMAP WINAPI CountCreateCompatibleBitmap(HDC dc, int width, int height) {
  return Note("bitmaps", realCreateCompatibleBitmap(dc, width, height));
}
HDC WINAPI CountCreateCompatibleDC(HDC dc) { return Note("memory DCs", realCreateCompatibleDC(dc)); }
HFONT WINAPI CountCreateFontIndirectW(const LOGFONTW* font) {
  return Note("fonts", realCreateFontIndirectW(font));
}
HPEN WINAPI CountCreatePen(int style, int width, COLORREF colour) {
  return Note("pens", realCreatePen(style, width, colour));
}
HBRUSH WINAPI CountCreateSolidBrush(COLORREF colour) { return Note("brushes", realCreateSolidBrush(colour)); }
BOOL WINAPI CountDeleteObject(HGDIOBJ object) {
  Forget(object);
  return realDeleteObject(object);
}
BOOL WINAPI CountDeleteDC(HDC dc) {
  Forget(dc);
  return realDeleteDC(dc);
}
HDC WINAPI CountGetDC(HWND window) {
  HDC dc = realGetDC(window);
  if (dc) ++g_windowDcs;
  return dc;
}
int WINAPI CountReleaseDC(HWND window, HDC dc) {
  int released = realReleaseDC(window, dc);
  if (released) --g_windowDcs;
  return released;
}
HICON WINAPI CountImageList_GetIcon(HIMAGELIST list, int index, UINT flags) {
  return Note("icons", realImageList_GetIcon(list, index, flags));
}
BOOL WINAPI CountDestroyIcon(HICON icon) {
  Forget(icon);
  return realDestroyIcon(icon);
}

// 100,000 real icon lookups take minutes under Wine: the presses' count needs no real icon.
DWORD_PTR WINAPI NoFileInfo(LPCWSTR, DWORD, SHFILEINFOW* info, UINT, UINT) {
  info->iIcon = 0;
  return 0;
}

template <typename Function>
void Swap(const char* dll, const char* name, Function replacement, Function* real) {
  *real = reinterpret_cast<Function>(kt::PatchImport(dll, name, reinterpret_cast<void*>(replacement)));
}

// Every create and free this program imports, counted from now on; a call the code never
// makes is not imported and stays unpatched.
void CountObjects() {
  Swap("user32.dll", "CreatePopupMenu", CountCreatePopupMenu, &realCreatePopupMenu);
  Swap("gdi32.dll", "CreateCompatibleBitmap", CountCreateCompatibleBitmap, &realCreateCompatibleBitmap);
  Swap("gdi32.dll", "CreateCompatibleDC", CountCreateCompatibleDC, &realCreateCompatibleDC);
  Swap("gdi32.dll", "CreateFontIndirectW", CountCreateFontIndirectW, &realCreateFontIndirectW);
  Swap("gdi32.dll", "CreatePen", CountCreatePen, &realCreatePen);
  Swap("gdi32.dll", "CreateSolidBrush", CountCreateSolidBrush, &realCreateSolidBrush);
  Swap("gdi32.dll", "DeleteObject", CountDeleteObject, &realDeleteObject);
  Swap("gdi32.dll", "DeleteDC", CountDeleteDC, &realDeleteDC);
  Swap("user32.dll", "GetDC", CountGetDC, &realGetDC);
  Swap("user32.dll", "ReleaseDC", CountReleaseDC, &realReleaseDC);
  Swap("comctl32.dll", "ImageList_GetIcon", CountImageList_GetIcon, &realImageList_GetIcon);
  Swap("user32.dll", "DestroyIcon", CountDestroyIcon, &realDestroyIcon);
}

size_t LiveMenus() {
  size_t live = 0;
  for (HMENU menu : g_menus) live += IsMenu(menu) != 0;
  return live;
}

// One row per kind of object made: how many were made and how many are still alive.
void ObjectRows(const char* uses) {
  if (g_made["menus"] > 0) {
    size_t live = LiveMenus();
    Row("menus made / alive", Format("%lld / %lld", g_made["menus"], static_cast<long long>(live)) + uses,
        live == 0);
  }
  std::string none;
  for (const char* kind : {"bitmaps", "memory DCs", "fonts", "pens", "brushes", "icons"}) {
    long long live = static_cast<long long>(g_live[kind].size());
    if (g_made[kind] == 0) {
      none += std::string(none.empty() ? "" : ", ") + kind;
      continue;
    }
    std::string what = std::string(kind) + " made / deleted / alive";
    Row(what.c_str(), Format("%lld / %lld / %lld", g_made[kind], g_deleted[kind], live) + uses, live == 0);
  }
  if (!none.empty()) Row("made none of", none + uses, true);
  Row("window DCs not released", Format("%lld", g_windowDcs) + uses, g_windowDcs == 0);
}

// --- menus tracked in-process end as soon as they show ---

constexpr UINT_PTR kSafetyTimer = 0x5AFE;
WNDPROC g_popupProc;
int g_menusShown, g_menusTimedOut, g_itemsShown;
bool g_menuEnded;

LRESULT CALLBACK EndingMenusProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ENTERIDLE && wParam == MSGF_MENU && !g_menuEnded) {
    g_menuEnded = true;
    ++g_menusShown;
    HWND menuWindow = reinterpret_cast<HWND>(lParam);
    HMENU menu =
        IsWindow(menuWindow) ? reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0)) : nullptr;
    g_itemsShown = menu ? GetMenuItemCount(menu) : -1;
    EndMenu();
    return 0;
  }
  // The popup ends its run on a timer it does not know: the safety timer must not reach it.
  if (message == WM_TIMER && wParam == kSafetyTimer) {
    if (!g_menuEnded) ++g_menusTimedOut;
    g_menuEnded = true;
    EndMenu();
    return 0;
  }
  return g_popupProc ? CallWindowProcW(g_popupProc, window, message, wParam, lParam)
                     : DefWindowProcW(window, message, wParam, lParam);
}

template <typename Show>
void TrackOneMenu(Show show, UINT timeoutMs) {
  g_menuEnded = false;
  SetTimer(g_mainWnd, kSafetyTimer, timeoutMs, nullptr);
  show();
  KillTimer(g_mainWnd, kSafetyTimer);
}

void Touch(const std::wstring& path) { kt::WriteTextFile(path, "x"); }

// --- the parts ---

int KestrelonProcesses() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  int count = 0;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    count += _wcsicmp(entry.szExeFile, L"kestrelon.exe") == 0;
  CloseHandle(snapshot);
  return count;
}

// Start, wait for the popup, start again: both end with 0 and the second makes no window.
void Toggle(int pairs) {
  SetCursorPos(900, 100);  // off the popup: hover paints are another part's business
  std::wstring home = kt::MakeTempDir(L"soak-home");
  std::map<std::wstring, std::wstring> env = {{L"homedrive", home.substr(0, 2)},
                                              {L"homepath", home.substr(2)}};
  int completed = 0, failures = 0, pair = 0;
  DWORD worstToggleMs = 0;
  for (; pair < pairs && failures < 3; ++pair) {
    kt::Process first = kt::StartProcess(kt::KestrelonExe(), env, home), second;
    bool shown = first.handle && kt::WaitForWindow(first.id, L"Kestrelon", 10000);
    bool secondWindow = false;
    int secondExit = -2;
    DWORD start = GetTickCount();
    if (shown) {
      second = kt::StartProcess(kt::KestrelonExe(), env, home);
      kt::WaitFor(
          [&] {
            secondWindow |= kt::FindProcessWindow(second.id, L"Kestrelon") != nullptr;
            return !second.handle || WaitForSingleObject(second.handle, 0) == WAIT_OBJECT_0;
          },
          10000);
      secondExit = kt::WaitExit(second, 1000);
    }
    int firstExit = kt::WaitExit(first, 10000);
    DWORD toggleMs = GetTickCount() - start;
    worstToggleMs = toggleMs > worstToggleMs ? toggleMs : worstToggleMs;
    kt::CloseProcess(first);
    kt::CloseProcess(second);
    if (shown && firstExit == 0 && secondExit == 0 && !secondWindow) {
      ++completed;
    } else {
      ++failures;
      std::printf("pair %d: popup %s, first exit %d, second exit %d%s, %lu ms\n", pair + 1,
                  shown ? "shown" : "never shown", firstExit, secondExit,
                  secondWindow ? ", the second start made a window" : "", toggleMs);
    }
  }
  Row("start/toggle pairs completed", Format("%lld of %lld", completed, pairs), completed == pairs);
  Row("worst toggle: second start to both ended", Format("%lld ms", worstToggleMs), true);
  int left = KestrelonProcesses();
  Row("kestrelon.exe processes left", Format("%lld", left), left == 0);
  kt::RemoveTree(home);
}

// 100 presses of "All Programs" through the popup's own procedure on a 1,000-item tree.
void Presses(int presses) {
  // One fixed name, so that a run that crashed leaves no second tree for the next to walk.
  std::wstring tree = std::wstring(PROGRAMS_FOLDER) + L"\\Kestrelon Soak";
  kt::RemoveTree(tree);
  CreateDirectoryW(tree.c_str(), nullptr);
  for (int folder = 0; folder < 10; ++folder) {
    std::wstring path = tree + L"\\Folder " + std::to_wstring(folder);
    CreateDirectoryW(path.c_str(), nullptr);
    for (int file = 0; file < 100; ++file) Touch(path + L"\\File " + std::to_wstring(file) + L".txt");
  }
  if (!kt::ShowPanelPopup(L"Kestrel")) return Row("in-process popup", "not made", false);
  g_popupProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(g_mainWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EndingMenusProc)));
  kt::PatchImport("shell32.dll", "SHGetFileInfoW", reinterpret_cast<void*>(NoFileInfo));
  auto press = [] {
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);  // nothing here waits for the run's end
    HWND button = GetDlgItem(g_mainWnd, IDC_ALLPROGRAMS);
    SendMessageW(g_mainWnd, WM_COMMAND, MAKEWPARAM(IDC_ALLPROGRAMS, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
  };
  TrackOneMenu(press, 60000);  // warm-up: the first press loads the menu and icon code
  kt::PumpFor(100);
  long long before = CommitKiB(), peakBeforeRestart = before;
  int restartedAt = 0, shownBefore = g_menusShown;
  CountObjects();
  for (int i = 1; i <= presses; ++i) {
    int lastId = g_lastMenuId;
    TrackOneMenu(press, 60000);
    if (!restartedAt && g_lastMenuId < lastId) restartedAt = i;
    if (!restartedAt) peakBeforeRestart = std::max(peakBeforeRestart, CommitKiB());
  }
  kt::PumpFor(100);
  long long after = CommitKiB();
  int shown = g_menusShown - shownBefore;
  Row("presses whose menu showed",
      Format("%lld of %lld (%lld ended by the safety timer)", shown, presses, g_menusTimedOut),
      shown == presses && g_menusTimedOut == 0);
  ObjectRows(Format(" after %lld presses", presses).c_str());
  // Each press keeps its entries until the id space starts over; from then on the commit must
  // stay under the high point it reached before.
  Row("commit growth after the presses (KiB)",
      Format("%+lld; %+lld at most before ids started over at press %lld", after - before,
             peakBeforeRestart - before, restartedAt),
      restartedAt > 0 && after <= peakBeforeRestart + 1024);
  SetWindowLongPtrW(g_mainWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_popupProc));
  DestroyWindow(g_mainWnd);
  kt::RemoveTree(tree);
}

// 1,000 hover moves over the link column with the real cursor, each painted at once.
void Hovers(int moves) {
  if (!kt::ShowPanelPopup(L"Kestrel")) return Row("in-process popup", "not made", false);
  // Through slots, the bands between them and the space right of the column.
  const POINT stops[] = {{320, 86}, {320, 104}, {320, 122}, {330, 125}, {404, 122}, {320, 302}, {320, 410}};
  auto move = [](POINT at) {
    kt::PlaceCursor(kt::PopupToScreen(at.x, at.y));
    SendMessageW(g_mainWnd, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
    UpdateWindow(g_mainWnd);
    // As the popup's own loop would: input left in the queue piles up in Wine's driver.
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  };
  for (const POINT& stop : stops) move(stop);  // warm-up: the caption font is made once per run
  kt::PumpFor(100);
  long long before = CommitKiB();
  CountObjects();
  int changes = 0;
  for (int i = 0; i < moves; ++i) {
    int hover = g_hoverId;
    move(stops[i % (sizeof(stops) / sizeof(stops[0]))]);
    changes += g_hoverId != hover;
  }
  kt::PumpFor(100);
  long long after = CommitKiB();
  Row("hover moves made / slot changes they gave", Format("%lld / %lld", moves, changes), changes > 0);
  ObjectRows(Format(" after %lld moves", moves).c_str());
  Row("commit growth after the moves (KiB)", Format("%+lld", after - before), after - before <= 256);
  DestroyWindow(g_mainWnd);
}

// A 2,000-entry folder: its names carry an ampersand, right-to-left text and a character
// outside the BMP.
std::wstring MakeEntries(const wchar_t* tag, const wchar_t* format, int count) {
  std::wstring folder = kt::MakeTempDir(tag);
  for (int i = 0; i < count; ++i) {
    wchar_t name[64];
    swprintf_s(name, format, i);
    Touch(folder + L"\\" + name);
  }
  return folder;
}

// One programs menu over 2,000 entries, real icon lookups included.
void Programs2000(int count) {
  std::wstring folder = MakeEntries(L"soak-programs", L"Entry %04d \x05E9&\xD83D\xDC26.txt", count);
  g_mainWnd = kt::CreatePopupSizedWindow(L"KestrelonSoakOwner", EndingMenusProc);
  CountObjects();
  DWORD start = GetTickCount();
  TrackOneMenu([&] { ShowProgramsMenuFor(folder); }, 300000);
  DWORD seconds = (GetTickCount() - start) / 1000;
  std::set<std::wstring> paths;
  for (const ProgramEntry& entry : g_programEntries) paths.insert(entry.targetPath);
  Row("items shown / entries / distinct paths",
      Format("%lld / %lld / %lld", g_itemsShown, static_cast<long long>(g_programEntries.size()),
             static_cast<long long>(paths.size())),
      g_itemsShown == count && paths.size() == static_cast<size_t>(count) &&
          g_programEntries.size() == paths.size());
  Row("menus shown, press to close", Format("%lld, %lld s", g_menusShown, seconds), g_menusShown == 1);
  ObjectRows(" after the menu");
  DestroyWindow(g_mainWnd);
  kt::RemoveTree(folder);
}

// One pinned items pass over 2,000 entries into a real tree.
void Pinned2000(int count) {
  std::wstring folder = MakeEntries(L"soak-pinned", L"Pin %04d \x05E9&\xD83D\xDC26.txt", count);
  HWND host = kt::CreateTreeHost();
  CountObjects();
  DWORD start = GetTickCount();
  bool ended = kt::RunLoaderThread(folder + L"\\", 300000);
  DWORD seconds = (GetTickCount() - start) / 1000;
  int items = static_cast<int>(SendMessageW(g_treeWnd, TVM_GETCOUNT, 0, 0));
  Row("pass ended, seconds", std::string(ended ? "yes" : "no") + Format(", %lld s", seconds), ended);
  Row("tree items / pinned paths", Format("%lld / %lld", items, PinnedPathCount()),
      items == count && PinnedPathCount() == count);
  ObjectRows(" after the pass");
  kt::DestroyTreeHost(host);
  kt::RemoveTree(folder);
}

}  // namespace

int main(int argc, char** argv) {
  struct Part {
    const char* name;
    void (*run)();
  };
  const Part parts[] = {{"toggle", [] { Toggle(200); }},
                        {"presses", [] { Presses(100); }},
                        {"hovers", [] { Hovers(1000); }},
                        {"programs2000", [] { Programs2000(2000); }},
                        {"pinned2000", [] { Pinned2000(2000); }}};
  for (const Part& part : parts) {
    if (argc < 2 || std::strcmp(argv[1], part.name) != 0) continue;
    g_part = part.name;
    part.run();
    std::printf("DONE\n");
    return g_failed ? 1 : 0;
  }
  std::fprintf(stderr, "usage: kestrelon_soak toggle|presses|hovers|programs2000|pinned2000\n");
  return 2;
}
