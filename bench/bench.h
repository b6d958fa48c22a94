// The benchmarks and the soak: one program, one part per run (kestrelon_bench PART; --list names
// the parts). A bench part prints its figures and one line per row of the bench table; a soak part
// prints rows "SOAK<TAB>part<TAB>what<TAB>found<TAB>ok|FAIL" and a last line "DONE". Beside
// tools/support.h, what only they need: clocks, spreads, scratch folders, real input and the
// program's pieces set up in-process.
#pragma once

// The headers every part uses.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/ids.h"
#include "app/main_window.h"
#include "app/shell_helpers.h"
#include "app/state.h"
#include "panel/link_column.h"
#include "programs/programs_menu.h"
#include "support.h"

// The parts: the benchmarks, then the soak's; each gives the exit code of its run.
int StartupBench(), ProgramsMenuBench(), PinnedItemsBench();
int SoakToggle(), SoakPresses(), SoakHovers(), SoakPrograms2000(), SoakPinned2000();

extern const char* g_part;  // the part this run runs

double NowMs();
// Handles this thread's messages for a while.
inline void PumpFor(DWORD ms) {
  WaitFor([] { return false; }, ms);
}
// Private bytes (Wine leaves PrivateUsage at 0 but fills PagefileUsage with the commit charge).
double PrivateKiB(HANDLE process);

// Figures of one kind over all repetitions, in the order taken, and the one at a share of them in
// order (0: min, 0.5: median, 1: max).
using Spread = std::vector<double>;
double At(const Spread& spread, double share);
void PrintSpread(const char* what, const Spread& spread);
// One row of the bench table, "ROW<TAB>what<TAB>kestrelon<TAB>floor<TAB>ratio<TAB>unit": each
// side's median with its min and max, and the ratio of the medians with the spread of the
// ratios of samples taken in turn (Kestrelon's sample i against the floor's i, the floor's
// samples reused in order when Kestrelon has a multiple of them).
void Row(const std::string& what, const Spread& kestrelon, const Spread& floor, const char* unit);

std::wstring MakeTempDir(const std::wstring& tag);  // a new empty folder under %TEMP%
// What cannot go stays in %TEMP%.
inline void RemoveTree(const std::wstring& path) {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}
// Files (or, with a ".lnk" format, copies of one shortcut to a real program) named by format
// with one %d, 0 to count - 1, in folder, which is made when missing.
void MakeFiles(const std::wstring& folder, const wchar_t* format, int count);
// Sets homedrive and homepath, which the programs started from here inherit, to folder.
void SetHome(const std::wstring& folder);

// A top-level window of the class owned by the process, visible or not.
HWND ProcessWindow(DWORD processId, const wchar_t* className);
// Sets the cursor (screen coordinates) and waits until GetCursorPos reports it; then, under load
// Wine now and then snapping it back to an earlier place, whether it still stands there after
// settleMs.
bool PlaceCursor(POINT screen, DWORD settleMs = 0);

// Presses "All Programs" of g_mainWnd, made by ShowPanelPopup or MakeHost, and ends the menu
// as soon as it shows, or after timeoutMs. On the popup it is the popup's own press; on the host
// it tracks the menu of g_menuFolder where the popup tracks its own, built as a press builds it
// or, with g_serialMenus, by the serial reference build (each item's icon made as the walk
// appends the item). Gives the time from the command to the menu shown, -1 when none showed.
double PressAllPrograms(DWORD timeoutMs);
extern std::wstring g_menuFolder;
extern bool g_serialMenus;
extern int g_menusShown, g_menusTimedOut, g_itemsShown;
// Calls visit(path, isFolder) for every entry of folder but ".", ".." and desktop.ini.
void ForEachEntry(const std::wstring& folder, const std::function<void(const std::wstring&, bool)>& visit);

// The popup made by the program's own start-up on the scratch profile home, in front and
// painted, its menus ended as they show; null on failure.
HWND ShowPanelPopup(const std::wstring& home);
// A visible window where the popup stands, with a tree of the program's styles (g_mainWnd,
// g_treeWnd), its menus ended as they show; and its end.
void MakeHost();
void DestroyHost();
// Runs work(argument) on a thread while this thread handles messages; false when it did not
// end in time.
bool RunOnThread(LPTHREAD_START_ROUTINE work, void* argument, DWORD timeoutMs);
// LoadPinnedItems of a std::wstring folder, on a thread with COM as the program's loader thread
// has it (the shell's icon lookups want it).
DWORD WINAPI LoadPinnedThread(void* folder);
constexpr DWORD COM_AS_LOADER = COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE;
