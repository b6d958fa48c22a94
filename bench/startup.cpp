// Start-up, toggle, memory and size of kestrelon.exe against the least a program can do.
#include "bench.h"

#include <process.h>

#include <filesystem>
#include <tuple>

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
  Closer closer;
  Spread visible, toggle, privateKiB;
};

// Starts the program, times its first paint, then ends it as its closer says and times that
// (process creation of the closing program to the exit of the first).
bool MeasureOnce(Contestant& c) {
  double start = NowMs();
  PROCESS_INFORMATION run = Start(g_home, c.exe), second = {};
  if (!WaitForPaint(true, 10000)) return ExitCode(run, 0), false;
  c.visible.push_back(NowMs() - start);
  PumpFor(300);
  c.privateKiB.push_back(PrivateKiB(run.hProcess));
  double toggleStart = NowMs();
  if (c.closer == Closer::kSecondStart || c.closer == Closer::kToggleFloor)
    second = Start(g_home, c.closer == Closer::kSecondStart ? c.exe : Beside(L"floor_toggle.exe"));
  // The trivial process starts, looks once for a window and exits.
  intptr_t trivial = c.closer != Closer::kTrivial
                         ? 0
                         : _wspawnl(_P_NOWAIT, Beside(L"ktool.exe").c_str(), L"ktool", L"wait-window",
                                    L"KestrelonFloor", L"0", nullptr);
  second.hProcess = trivial > 0 ? reinterpret_cast<HANDLE>(trivial) : second.hProcess;
  if (c.closer == Closer::kTrivial || c.closer == Closer::kMessage)
    PostMessageW(ProcessWindow(run.dwProcessId,
                               c.closer == Closer::kTrivial ? L"KestrelonFloor" : L"KestrelonControlsFloor"),
                 WM_DESTROY, 0, 0);  // by class: the tree's tooltip is a top-level window too
  bool ended = WaitForSingleObject(run.hProcess, 10000) == WAIT_OBJECT_0;
  if (ended && c.closer != Closer::kMessage) c.toggle.push_back(NowMs() - toggleStart);
  if (second.hProcess) ExitCode(second, 10000);
  ExitCode(run, 1000);
  // Let the screen lose the panel, and the ended processes' aftermath settle, before the next
  // start: a start right after a toggle ran measurably slower than one after a quiet end.
  WaitForPaint(false, 3000);
  Sleep(500);
  return ended;
}

// A real left click; Wine can snap the cursor back to where it was, so it is placed until it stays.
void ClickAt(int x, int y) {
  // The cursor set first, then move, down and up in one call: separate calls lose clicks.
  for (int attempt = 0; attempt < 3 && !PlaceCursor(POINT{x, y}, 100); ++attempt) {
  }
  INPUT inputs[3] = {};
  for (INPUT& input : inputs) input.type = INPUT_MOUSE;
  inputs[0].mi.dx = (x * 65536 + GetSystemMetrics(SM_CXSCREEN) - 1) / GetSystemMetrics(SM_CXSCREEN);
  inputs[0].mi.dy = (y * 65536 + GetSystemMetrics(SM_CYSCREEN) - 1) / GetSystemMetrics(SM_CYSCREEN);
  inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(3, inputs, sizeof(INPUT));
}

bool MenuShown() {
  HWND menu = FindWindowW(L"#32768", nullptr);
  return menu && IsWindowVisible(menu);
}

// Private bytes of one popup after start, after 100 presses and after 1,000 hover moves.
void MeasureUse() {
  const std::wstring programs = std::wstring(PROGRAMS_FOLDER) + L"\\Kestrelon Bench";
  MakeFiles(programs, L"Program %d.txt", 20);
  PROCESS_INFORMATION run = Start(g_home);
  HWND popup = nullptr;
  WaitFor([&] { return (popup = ProcessWindow(run.dwProcessId, MAIN_CLASS_NAME)) && IsWindowVisible(popup); },
          10000);
  WaitFor(PanelPainted, 10000);
  RECT rect;
  GetWindowRect(popup, &rect);
  InitLinkSlots();
  double kib[4] = {};
  int shown = 0;
  for (int step = 0; step < 4; ++step) {
    // Steps 1 and 2: 10 and 90 presses of "All Programs" with a real click, each menu closed again.
    for (int i = 0; i < (step == 1 ? 10 : step == 2 ? 90 : 0); ++i) {
      ClickAt(rect.left + 120, rect.top + 410);
      shown += WaitFor(MenuShown, 5000);
      PostMessageW(popup, WM_CANCELMODE, 0, 0);
      WaitFor([] { return !MenuShown(); }, 5000);
    }
    // Step 3: 1,000 moves over the link column, a slot at a time.
    for (int i = 0; i < (step == 3 ? 1000 : 0); ++i) {
      const RECT& slot = g_linkSlots[i % LINK_SLOT_COUNT].hot;
      SetCursorPos(rect.left + slot.left + 40 + i % 7, rect.top + slot.top + 10);
      INPUT input = {};
      input.type = INPUT_MOUSE;
      input.mi.dwFlags = MOUSEEVENTF_MOVE;  // relative 0: a move where the cursor already is
      SendInput(1, &input, sizeof(INPUT));
      PumpFor(5);
    }
    PumpFor(500);
    kib[step] = PrivateKiB(run.hProcess);
  }
  std::printf(
      "private bytes (KiB): after start %.0f, 10 presses %.0f, 100 presses (%d menus shown) %.0f, 1000 "
      "hovers %.0f\n",
      kib[0], kib[1], shown, kib[2], kib[3]);
  Row("private bytes after 100 All Programs presses (floor: after start)", {kib[2]}, {kib[0]}, "KiB");
  Row("private bytes after 1,000 hover moves (floor: after start)", {kib[3]}, {kib[0]}, "KiB");
  SendMessageW(popup, UM_CLOSEMENU, 0, 0);
  ExitCode(run);
  RemoveTree(programs);
}

}  // namespace

int StartupBench() {
  g_home = MakeTempDir(L"bench-home");
  SetHome(g_home);
  std::wstring kestrelon = Beside(L"kestrelon.exe"), floor = Beside(L"floor_window.exe");
  const wchar_t *runsText = _wgetenv(L"KESTRELON_BENCH_RUNS"),
                *baselineText = _wgetenv(L"KESTRELON_BENCH_BASELINE");
  int runs = runsText ? std::max(1, _wtoi(runsText)) : 20;
  // One measured start each, in an order that turns by one place every repetition: where a
  // start falls in the sequence shifts its figures by more than the differences looked for.
  std::vector<Contestant> contestants = {{kestrelon, Closer::kSecondStart, {}, {}, {}},
                                         {floor, Closer::kTrivial, {}, {}, {}},
                                         {kestrelon, Closer::kToggleFloor, {}, {}, {}},
                                         {Beside(L"floor_controls.exe"), Closer::kMessage, {}, {}, {}}};
  // Other builds of the program to compare with in the same run (before and after a change).
  std::wstring baselines = std::wstring(baselineText ? baselineText : L"") + L";";
  for (size_t from = 0, to = 0; (to = baselines.find(L';', from)) != std::wstring::npos; from = to + 1)
    if (to > from)
      contestants.push_back({baselines.substr(from, to - from), Closer::kSecondStart, {}, {}, {}});
  for (int i = -1; i < runs; ++i) {  // round -1 warms up; its figures are dropped
    for (size_t turn = 0; turn < contestants.size(); ++turn) {
      Contestant& c = contestants[(turn + static_cast<size_t>(i + 1)) % contestants.size()];
      if (!MeasureOnce(c))
        std::printf("%ls (closer %d) run %d failed\n", c.exe.c_str(), static_cast<int>(c.closer), i);
    }
    if (i < 0)
      for (Contestant& c : contestants) c.visible.clear(), c.toggle.clear(), c.privateKiB.clear();
  }
  const auto& [ours, window, oursByFloor, controls] =
      std::tie(contestants[0], contestants[1], contestants[2], contestants[3]);
  Spread visible = ours.visible;  // Kestrelon's starts, whatever closed them
  visible.insert(visible.end(), oursByFloor.visible.begin(), oursByFloor.visible.end());
  // The table shows this build's spreads and its floors'; other builds' are printed here.
  for (size_t b = 4; b < contestants.size(); ++b) {
    std::printf("baseline %ls:\n", contestants[b].exe.c_str());
    PrintSpread("baseline start to visible", contestants[b].visible);
    PrintSpread("baseline toggle (second start to first exit)", contestants[b].toggle);
  }
  // Kestrelon's starts are two to a round, each against the floor's one start of that round.
  Row("start to visible (floor: minimal window)", visible, window.visible, "ms");
  Row("start to visible (floor: window with the three controls)", visible, controls.visible, "ms");
  Row("toggle: second start to first exit (floor: FindWindowW + SendMessageW)", ours.toggle,
      oursByFloor.toggle, "ms");
  Row("toggle: second start to first exit (floor: a trivial process)", ours.toggle, window.toggle, "ms");
  Row("private bytes after start (floor: the minimal window)", ours.privateKiB, window.privateKiB, "KiB");
  std::error_code ignored;
  Row("size of the program", {static_cast<double>(std::filesystem::file_size(kestrelon, ignored)) / 1024},
      {static_cast<double>(std::filesystem::file_size(floor, ignored)) / 1024}, "KiB");
  if (!_wgetenv(L"KESTRELON_BENCH_STARTS_ONLY")) MeasureUse();
  RemoveTree(g_home);
  return 0;
}
