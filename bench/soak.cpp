// Long runs of Kestrelon that count what it leaves behind (tools/soak.sh). Each part prints its
// rows and "DONE", and ends with 1 when a row failed. GetGuiResources says 0 under Wine, so
// objects are counted through this program's own imports, which the program's code linked in
// here calls.
#include "bench.h"

#include "app/startup.h"

#include <tlhelp32.h>

#include <cwchar>
#include <map>
#include <mutex>
#include <set>
#include <tuple>

namespace {

bool g_failed = false;

void Check(const char* what, const std::string& found, bool ok) {
  std::printf("SOAK\t%s\t%s\t%s\t%s\n", g_part, what, found.c_str(), ok ? "ok" : "FAIL");
  std::fflush(stdout);
  g_failed |= !ok;
}

int Done() {
  std::puts("DONE");
  return g_failed ? 1 : 0;
}

std::string Format(const char* format, long long a, long long b = 0, long long c = 0) {
  char text[160];
  std::snprintf(text, sizeof(text), format, a, b, c);
  return text;
}

long long CommitKiB() { return static_cast<long long>(PrivateKiB(GetCurrentProcess())); }

// --- objects made and freed by the code linked in here ---

// Live handles by kind; a handle value may come back for a later object, so it is a set.
std::map<std::string, std::set<void*>> g_live;
std::map<std::string, long long> g_made, g_deleted;
long long g_windowDcs;
std::set<HMENU> g_menus;
std::mutex g_lock;  // the pinned loader makes its icons on a thread of its own

template <typename Handle>
Handle Note(const char* kind, Handle handle) {
  std::lock_guard<std::mutex> hold(g_lock);
  if (handle) g_live[kind].insert(reinterpret_cast<void*>(handle));
  g_made[kind] += handle != nullptr;
  return handle;
}

// Window DCs taken (step 1) or given back (step -1) when the call succeeded.
template <typename Result>
Result Tally(Result result, int step) {
  g_windowDcs += result ? step : 0;
  return result;
}

template <typename Handle>
Handle Forget(Handle handle) {
  std::lock_guard<std::mutex> hold(g_lock);
  for (auto& kind : g_live) g_deleted[kind.first] += static_cast<long long>(kind.second.erase(handle));
  return handle;
}

// The imports counted: Count##function stands in for function, which it reaches through
// real##function. A call the code never makes is not imported and stays unpatched.
std::vector<std::tuple<const char*, void*, void**>> g_hooks;  // name, stand-in, real
#define COUNTED(Type, function, parameters, call)                                                  \
  decltype(&function) real##function;                                                              \
  Type WINAPI Count##function parameters { return call; }                                          \
  bool hooked##function = (g_hooks.push_back({#function, reinterpret_cast<void*>(Count##function), \
                                              reinterpret_cast<void**>(&real##function)}),         \
                           true);
COUNTED(HMENU, CreatePopupMenu, (), (++g_made["menus"], *g_menus.insert(realCreatePopupMenu()).first))
COUNTED(HBITMAP, CreateCompatibleBitmap, (HDC dc, int x, int y),
        Note("bitmaps", realCreateCompatibleBitmap(dc, x, y)))
COUNTED(HDC, CreateCompatibleDC, (HDC dc), Note("memory DCs", realCreateCompatibleDC(dc)))
COUNTED(HFONT, CreateFontIndirectW, (const LOGFONTW* font), Note("fonts", realCreateFontIndirectW(font)))
COUNTED(HPEN, CreatePen, (int style, int width, COLORREF colour),
        Note("pens", realCreatePen(style, width, colour)))
COUNTED(HBRUSH, CreateSolidBrush, (COLORREF colour), Note("brushes", realCreateSolidBrush(colour)))
COUNTED(HICON, ImageList_GetIcon, (HIMAGELIST list, int i, UINT flags),
        Note("icons", realImageList_GetIcon(list, i, flags)))
COUNTED(BOOL, DeleteObject, (HGDIOBJ object), realDeleteObject(Forget(object)))
COUNTED(BOOL, DeleteDC, (HDC dc), realDeleteDC(Forget(dc)))
COUNTED(BOOL, DestroyIcon, (HICON icon), realDestroyIcon(Forget(icon)))
COUNTED(HDC, GetDC, (HWND window), Tally(realGetDC(window), 1))
COUNTED(int, ReleaseDC, (HWND window, HDC dc), Tally(realReleaseDC(window, dc), -1))

// Every create and free above counted from now on.
void CountObjects() {
  for (auto& [name, replacement, real] : g_hooks) *real = PatchImport(name, replacement);
}

// One row per kind of object made: how many were made and how many are still alive.
void ObjectRows(const std::string& uses) {
  if (g_made["menus"] > 0) {
    long long live = std::count_if(g_menus.begin(), g_menus.end(), [](HMENU menu) { return IsMenu(menu); });
    Check("menus made / alive", Format("%lld / %lld", g_made["menus"], live) + uses, live == 0);
  }
  std::string none;
  for (const char* kind : {"bitmaps", "memory DCs", "fonts", "pens", "brushes", "icons"}) {
    long long live = static_cast<long long>(g_live[kind].size());
    if (g_made[kind] == 0) none += std::string(none.empty() ? "" : ", ") + kind;
    if (g_made[kind] == 0) continue;
    Check((std::string(kind) + " made / deleted / alive").c_str(),
          Format("%lld / %lld / %lld", g_made[kind], g_deleted[kind], live) + uses, live == 0);
  }
  if (!none.empty()) Check("made none of", none + uses, true);
  Check("window DCs not released", Format("%lld", g_windowDcs) + uses, g_windowDcs == 0);
}

// 100,000 real icon lookups take minutes under Wine: the presses' count needs no real icon.
DWORD_PTR WINAPI NoFileInfo(LPCWSTR, DWORD, SHFILEINFOW* info, UINT, UINT) {
  info->iIcon = 0;
  return 0;
}

// A second start against a popup whose thread answers nothing: it gives up after its bound
// and exits 0; the popup, once it answers again, still ends on Esc.
void ToggleHungPopup(const std::wstring& home) {
  PROCESS_INFORMATION hung = Start(home);
  HWND popup = nullptr;
  WaitFor([&] { return IsWindowVisible(popup = ProcessWindow(hung.dwProcessId, L"Kestrelon")) != FALSE; },
          10000);
  SuspendThread(hung.hThread);  // the popup's one window thread
  DWORD start = GetTickCount();
  int secondExit = ExitCode(Start(home), CLOSE_POPUP_TIMEOUT_MS + 5000);
  long long waitedMs = GetTickCount() - start;
  ResumeThread(hung.hThread);
  PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 0);
  int hungExit = ExitCode(hung);
  Check("hung popup: second start exit, its wait, Esc exit",
        Format("%lld, %lld ms, %lld", secondExit, waitedMs, hungExit),
        popup && secondExit == 0 && hungExit == 0);
}

}  // namespace

// Start, wait for the popup, start again: both end with 0 and the second makes no window.
int SoakToggle() {
  const int pairs = 200;
  SetCursorPos(900, 100);  // off the popup: hover paints are another part's business
  std::wstring home = MakeTempDir(L"soak-home");
  SetHome(home);
  long long completed = 0, failures = 0, worstToggleMs = 0;
  for (int pair = 0; pair < pairs && failures < 3; ++pair) {
    PROCESS_INFORMATION first = Start(home);
    bool shown = WaitFor(
        [&] { return IsWindowVisible(ProcessWindow(first.dwProcessId, L"Kestrelon")) != FALSE; }, 10000);
    bool secondWindow = false;
    int secondExit = -2;
    DWORD start = GetTickCount();
    if (shown) {
      PROCESS_INFORMATION second = Start(home);
      auto ended = [&] {
        secondWindow |= ProcessWindow(second.dwProcessId, L"Kestrelon") != nullptr;
        return WaitForSingleObject(second.hProcess, 0) != WAIT_TIMEOUT;
      };
      WaitFor(ended, 10000);
      secondExit = ExitCode(second, 1000);
    }
    int firstExit = ExitCode(first);
    long long toggleMs = GetTickCount() - start;
    worstToggleMs = std::max(toggleMs, worstToggleMs);
    bool ok = shown && firstExit == 0 && secondExit == 0 && !secondWindow;
    completed += ok;
    failures += !ok;
    if (!ok)
      std::printf("pair %d: popup %s, first exit %d, second exit %d%s, %lld ms\n", pair + 1,
                  shown ? "shown" : "never shown", firstExit, secondExit,
                  secondWindow ? ", the second start made a window" : "", toggleMs);
  }
  Check("start/toggle pairs completed", Format("%lld of %lld", completed, pairs), completed == pairs);
  Check("worst toggle: second start to both ended", Format("%lld ms", worstToggleMs), true);
  ToggleHungPopup(home);
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  int left = snapshot == INVALID_HANDLE_VALUE ? -1 : 0;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    left += _wcsicmp(entry.szExeFile, L"kestrelon.exe") == 0;
  if (snapshot != INVALID_HANDLE_VALUE) CloseHandle(snapshot);
  Check("kestrelon.exe processes left", Format("%lld", left), left == 0);
  RemoveTree(home);
  return Done();
}

// 100 presses of "All Programs" through the popup's own procedure on a 1,000-item tree.
int SoakPresses() {
  const int presses = 100;
  // One fixed name, so that a run that crashed leaves no second tree for the next to walk.
  std::wstring tree = std::wstring(PROGRAMS_FOLDER) + L"\\Kestrelon Soak";
  RemoveTree(tree);
  for (int folder = 0; folder < 10; ++folder)
    MakeFiles(tree + L"\\Folder " + std::to_wstring(folder), L"File %d.txt", 100);
  std::wstring home = MakeTempDir(L"soak-home");
  if (!ShowPanelPopup(home)) return Check("in-process popup", "not made", false), Done();
  PatchImport("SHGetFileInfoW", reinterpret_cast<void*>(NoFileInfo));
  PressAllPrograms(60000);  // warm-up: the first press loads the menu and icon code
  PumpFor(100);
  long long before = CommitKiB(), peakBeforeRestart = before;
  int restartedAt = 0, shownBefore = g_menusShown;
  CountObjects();
  for (int i = 1; i <= presses; ++i) {
    int lastId = g_lastMenuId;
    PressAllPrograms(60000);
    if (!restartedAt && g_lastMenuId < lastId) restartedAt = i;
    if (!restartedAt) peakBeforeRestart = std::max(peakBeforeRestart, CommitKiB());
  }
  PumpFor(100);
  long long after = CommitKiB();
  int shown = g_menusShown - shownBefore;
  Check("presses whose menu showed",
        Format("%lld of %lld (%lld ended by the safety timer)", shown, presses, g_menusTimedOut),
        shown == presses && g_menusTimedOut == 0);
  ObjectRows(Format(" after %lld presses", presses));
  // Each press keeps its entries until the id space starts over; from then on the commit must
  // stay under the high point it reached before.
  Check("commit growth after the presses (KiB)",
        Format("%+lld; %+lld at most before ids started over at press %lld", after - before,
               peakBeforeRestart - before, restartedAt),
        restartedAt > 0 && after <= peakBeforeRestart + 1024);
  DestroyWindow(g_mainWnd);
  RemoveTree(tree);
  RemoveTree(home);
  return Done();
}

// 1,000 hover moves over the link column with the real cursor, each painted at once.
int SoakHovers() {
  const int moves = 1000;
  std::wstring home = MakeTempDir(L"soak-home");
  if (!ShowPanelPopup(home)) return Check("in-process popup", "not made", false), Done();
  // Through slots, the bands between them and the space right of the column.
  const POINT stops[] = {{320, 86}, {320, 104}, {320, 122}, {330, 125}, {404, 122}, {320, 302}, {320, 410}};
  auto move = [](POINT at) {
    POINT screen = at;
    ClientToScreen(g_mainWnd, &screen);
    PlaceCursor(screen);
    SendMessageW(g_mainWnd, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
    UpdateWindow(g_mainWnd);
    // As the popup's own loop would: input left in the queue piles up in Wine's driver.
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  };
  for (const POINT& stop : stops) move(stop);  // warm-up: the caption font is made once per run
  PumpFor(100);
  long long before = CommitKiB();
  CountObjects();
  int changes = 0;
  for (int i = 0; i < moves; ++i) {
    int hover = g_hoverId;
    move(stops[i % (sizeof(stops) / sizeof(stops[0]))]);
    changes += g_hoverId != hover;
  }
  PumpFor(100);
  long long after = CommitKiB();
  Check("hover moves made / slot changes they gave", Format("%lld / %lld", moves, changes), changes > 0);
  ObjectRows(Format(" after %lld moves", moves));
  Check("commit growth after the moves (KiB)", Format("%+lld", after - before), after - before <= 256);
  DestroyWindow(g_mainWnd);
  RemoveTree(home);
  return Done();
}

// One programs menu over 2,000 entries, real icon lookups included.
int SoakPrograms2000() {
  // Names with an ampersand, right-to-left text and a character outside the BMP.
  MakeFiles(g_menuFolder = MakeTempDir(L"soak-programs"), L"Entry %04d \x05E9&\xD83D\xDC26.txt", 2000);
  MakeHost();
  CountObjects();
  DWORD start = GetTickCount();
  PressAllPrograms(300000);
  DWORD seconds = (GetTickCount() - start) / 1000;
  std::set<std::wstring> paths;
  for (const ProgramEntry& entry : g_programEntries) paths.insert(entry.targetPath);
  long long entries = static_cast<long long>(g_programEntries.size()),
            distinct = static_cast<long long>(paths.size());
  Check("items shown / entries / distinct paths",
        Format("%lld / %lld / %lld", g_itemsShown, entries, distinct),
        g_itemsShown == 2000 && distinct == 2000 && entries == distinct);
  Check("menus shown, press to close", Format("%lld, %lld s", g_menusShown, seconds), g_menusShown == 1);
  ObjectRows(" after the menu");
  DestroyHost();
  RemoveTree(g_menuFolder);
  return Done();
}

// One pinned items pass over 2,000 entries into a real tree.
int SoakPinned2000() {
  std::wstring folder = MakeTempDir(L"soak-pinned");
  MakeFiles(folder, L"Pin %04d \x05E9&\xD83D\xDC26.txt", 2000);  // names as in programs2000
  MakeHost();
  CountObjects();
  DWORD start = GetTickCount();
  bool ended = RunOnThread(LoadPinnedThread, &folder, 300000);
  DWORD seconds = (GetTickCount() - start) / 1000;
  int items = static_cast<int>(SendMessageW(g_treeWnd, TVM_GETCOUNT, 0, 0));
  Check("pass ended, seconds", std::string(ended ? "yes" : "no") + Format(", %lld s", seconds), ended);
  Check("tree items / pinned paths", Format("%lld / %lld", items, PinnedPathCount()),
        items == 2000 && PinnedPathCount() == 2000);
  ObjectRows(" after the pass");
  DestroyHost();
  RemoveTree(folder);
  return Done();
}
