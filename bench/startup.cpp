// Start-up, toggle, memory and size of kestrelon.exe against the least a program can do.
#include <windows.h>
#include <process.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/ids.h"
#include "app/main_window.h"
#include "bench.h"
#include "panel/link_column.h"
#include "programs/programs_menu.h"

namespace {

std::wstring g_home;

// A point of the panel's margin that only the first paint turns white.
bool PanelPainted() {
  RECT tray = {};
  GetWindowRect(FindWindowW(L"Shell_TrayWnd", L""), &tray);
  HDC screen = GetDC(nullptr);
  COLORREF colour = GetPixel(screen, 11, tray.top - POPUP_HEIGHT + 200);
  ReleaseDC(nullptr, screen);
  return colour == RGB(255, 255, 255);
}

// Polls the screen closely: the figures are tens of milliseconds apart.
bool WaitForPaint(bool painted, DWORD timeoutMs) {
  for (DWORD start = GetTickCount(); PanelPainted() != painted; Sleep(1))
    if (GetTickCount() - start >= timeoutMs) return false;
  return true;
}

// How the program started by a measured start is ended again, and what is timed then.
enum class Closer {
  kSecondStart,  // the same program started again: Kestrelon's toggle
  kToggleFloor,  // floor_toggle.exe, which only finds the popup and sends it UM_CLOSEMENU
  kTrivial,      // a trivial process is started and the window is closed by a message
  kMessage,      // the window is closed by a message, nothing is timed
};

struct Contestant {
  std::wstring exe;
  const wchar_t* windowClass;
  Closer closer;
  Spread* visible;
  Spread* toggle;
  double* privateKiB;
  std::string name;
};

// Starts the program, times its first paint, then ends it as its closer says and times that
// (process creation of the closing program to the exit of the first).
bool MeasureOnce(const Contestant& c) {
  double start = NowMs();
  PROCESS_INFORMATION run = Start(g_home, c.exe), second = {};
  if (!WaitForPaint(true, 10000)) {
    ExitCode(run, 0);
    return false;
  }
  c.visible->values.push_back(NowMs() - start);
  PumpFor(300);
  if (c.privateKiB) *c.privateKiB = PrivateKiB(run.hProcess);
  double toggleStart = NowMs();
  if (c.closer == Closer::kSecondStart) second = Start(g_home, c.exe);
  if (c.closer == Closer::kToggleFloor) second = Start(g_home, Beside(L"floor_toggle.exe"));
  // The trivial process starts, looks once for a window and exits.
  if (c.closer == Closer::kTrivial) {
    intptr_t spawned = _wspawnl(_P_NOWAIT, Beside(L"ktool.exe").c_str(), L"ktool", L"wait-window",
                                L"KestrelonFloor", L"0", nullptr);
    second.hProcess = spawned == -1 ? nullptr : reinterpret_cast<HANDLE>(spawned);
  }
  if (c.closer == Closer::kTrivial || c.closer == Closer::kMessage)
    PostMessageW(FindWindowW(c.windowClass, nullptr), WM_DESTROY, 0, 0);
  bool ended = WaitForSingleObject(run.hProcess, 10000) == WAIT_OBJECT_0;
  if (c.toggle && ended) c.toggle->values.push_back(NowMs() - toggleStart);
  if (second.hProcess) ExitCode(second, 10000);
  ExitCode(run, 1000);
  // Let the screen lose the panel, and the ended processes' aftermath settle, before the next
  // start: a start right after a toggle ran measurably slower than one after a quiet end.
  WaitForPaint(false, 3000);
  Sleep(500);
  return ended;
}

bool MenuShown() {
  HWND menu = FindWindowW(L"#32768", nullptr);
  return menu && IsWindowVisible(menu);
}

// Presses "All Programs" with a real click and closes the menu again, count times.
int ClickAllPrograms(HWND popup, int count) {
  RECT rect;
  GetWindowRect(popup, &rect);
  int shown = 0;
  for (int i = 0; i < count; ++i) {
    ClickAt(rect.left + 120, rect.top + 410);
    shown += WaitFor(MenuShown, 5000);
    PostMessageW(popup, WM_CANCELMODE, 0, 0);
    WaitFor([] { return !MenuShown(); }, 5000);
  }
  return shown;
}

// Moves the cursor over the link column, a slot at a time, count times.
void HoverLinks(HWND popup, int count) {
  InitLinkSlots();
  RECT rect;
  GetWindowRect(popup, &rect);
  for (int i = 0; i < count; ++i) {
    const RECT& slot = g_linkSlots[i % LINK_SLOT_COUNT].hot;
    SetCursorPos(rect.left + slot.left + 40 + i % 7, rect.top + slot.top + 10);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_MOVE;  // relative 0: a move where the cursor already is
    SendInput(1, &input, sizeof(INPUT));
    PumpFor(5);
  }
}

// Private bytes of one popup after start, after 100 presses and after 1,000 hover moves.
void MeasureUse() {
  const std::wstring programs = std::wstring(PROGRAMS_FOLDER) + L"\\Kestrelon Bench";
  CreateDirectoryW(programs.c_str(), nullptr);
  MakeFiles(programs, L"Program %d.txt", 20);
  PROCESS_INFORMATION run = Start(g_home);
  HWND popup = nullptr;
  WaitFor([&] { return (popup = ProcessWindow(run.dwProcessId, MAIN_CLASS_NAME)) && IsWindowVisible(popup); },
          10000);
  WaitFor(PanelPainted, 10000);
  double kib[4] = {};
  int shown = 0;
  for (int step = 0; step < 4; ++step) {
    if (step == 1 || step == 2) shown += ClickAllPrograms(popup, step == 1 ? 10 : 90);
    if (step == 3) HoverLinks(popup, 1000);
    PumpFor(500);
    kib[step] = PrivateKiB(run.hProcess);
  }
  std::printf(
      "private bytes (KiB): after start %.0f, after 10 presses %.0f, after 100 presses (%d menus shown) "
      "%.0f, after 1000 hovers %.0f\n",
      kib[0], kib[1], shown, kib[2], kib[3]);
  Row("private bytes after 100 All Programs presses (floor: after start)", kib[2], kib[0], "KiB");
  Row("private bytes after 1,000 hover moves (floor: after start)", kib[3], kib[0], "KiB");
  SendMessageW(popup, UM_CLOSEMENU, 0, 0);
  ExitCode(run);
  RemoveTree(programs);
}

double FileKiB(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
  return static_cast<double>(data.nFileSizeLow) / 1024.0;
}

// The value of an environment variable, empty when unset or too long.
std::wstring Variable(const wchar_t* name) {
  wchar_t value[4 * MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableW(name, value, 4 * MAX_PATH);
  return length < 4 * MAX_PATH ? value : L"";
}

}  // namespace

int StartupBench() {
  g_home = MakeTempDir(L"bench-home");
  SetHome(g_home);
  std::wstring kestrelon = Beside(L"kestrelon.exe"), floor = Beside(L"floor_window.exe");
  std::wstring runsText = Variable(L"KESTRELON_BENCH_RUNS");
  int runs = runsText.empty() ? 20 : std::max(1, _wtoi(runsText.c_str()));
  Spread visible, toggle, floorToggle, windowVisible, trivialToggle, controlsVisible;
  double oursKiB = 0, leastKiB = 0;
  // One measured start each, in an order that turns by one place every repetition: where a
  // start falls in the sequence shifts its figures by more than the differences looked for.
  std::vector<Contestant> contestants = {
      {kestrelon, MAIN_CLASS_NAME, Closer::kSecondStart, &visible, &toggle, &oursKiB, "kestrelon"},
      {floor, L"KestrelonFloor", Closer::kTrivial, &windowVisible, &trivialToggle, &leastKiB, "floor window"},
      {kestrelon, MAIN_CLASS_NAME, Closer::kToggleFloor, &visible, &floorToggle, nullptr,
       "kestrelon closed by the toggle floor"},
      {Beside(L"floor_controls.exe"), L"KestrelonControlsFloor", Closer::kMessage, &controlsVisible, nullptr,
       nullptr, "three-control floor"}};
  // Other builds of the program to compare with in the same run (before and after a change).
  std::wstring baselines = Variable(L"KESTRELON_BENCH_BASELINE");
  std::vector<Spread> based(2 *
                            static_cast<size_t>(std::count(baselines.begin(), baselines.end(), L';') + 1));
  for (size_t from = 0, to = 0; from < baselines.size(); from = to + 1) {
    to = std::min(baselines.find(L';', from), baselines.size());
    if (to == from) continue;
    Spread* spreads = &based[2 * (contestants.size() - 4)];
    contestants.push_back({baselines.substr(from, to - from), MAIN_CLASS_NAME, Closer::kSecondStart, spreads,
                           spreads + 1, nullptr, "baseline " + std::to_string(contestants.size() - 4)});
  }
  for (int i = 0; i < runs; ++i) {
    for (size_t turn = 0; turn < contestants.size(); ++turn) {
      const Contestant& c = contestants[(turn + static_cast<size_t>(i)) % contestants.size()];
      if (!MeasureOnce(c)) std::printf("%s run %d failed\n", c.name.c_str(), i);
    }
  }
  std::printf("start to first paint and toggle, %d interleaved repetitions:\n", runs);
  PrintSpread("kestrelon start to visible", visible);
  PrintSpread("floor: minimal window start to visible", windowVisible);
  PrintSpread("floor: three-control window start to visible", controlsVisible);
  PrintSpread("kestrelon toggle (second start to first exit)", toggle);
  PrintSpread("floor: FindWindowW + SendMessageW program to kestrelon's exit", floorToggle);
  PrintSpread("floor: trivial process (minimal window closed)", trivialToggle);
  for (size_t b = 4; b < contestants.size(); ++b) {
    std::printf("baseline %ls:\n", contestants[b].exe.c_str());
    PrintSpread("baseline start to visible", *contestants[b].visible);
    PrintSpread("baseline toggle (second start to first exit)", *contestants[b].toggle);
  }
  const char* names[] = {"min", "median", "max"};
  for (int at = 0; at < 3; ++at)
    Row(std::string("start to visible, ") + names[at] + " (floor: minimal window)", visible.At(at / 2.0),
        windowVisible.At(at / 2.0), "ms");
  for (int at = 0; at < 3; ++at)
    Row(std::string("start to visible, ") + names[at] + " (floor: window with the three controls)",
        visible.At(at / 2.0), controlsVisible.At(at / 2.0), "ms");
  for (int at = 0; at < 3; ++at)
    Row(std::string("toggle: second start to first exit, ") + names[at] +
            " (floor: FindWindowW + SendMessageW)",
        toggle.At(at / 2.0), floorToggle.At(at / 2.0), "ms");
  Row("toggle: second start to first exit, median (floor: a trivial process)", toggle.At(0.5),
      trivialToggle.At(0.5), "ms");
  Row("private bytes after start (floor: the minimal window)", oursKiB, leastKiB, "KiB");
  Row("size of the program", FileKiB(kestrelon), FileKiB(floor), "KiB");
  if (Variable(L"KESTRELON_BENCH_STARTS_ONLY").empty()) MeasureUse();
  RemoveTree(g_home);
  return 0;
}
