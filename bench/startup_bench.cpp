// Start-up, toggle, memory and size of kestrelon.exe against the least a program can do.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "app/ids.h"
#include "support/wine_test.h"

namespace {

double Now() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int TrayTop() {
  RECT tray = {};
  GetWindowRect(FindWindowW(L"Shell_TrayWnd", L""), &tray);
  return tray.top;
}

// A point of the panel's margin that only the first paint turns white.
bool PanelPainted() { return kt::ScreenPixel(11, TrayTop() - 485 + 200) == RGB(255, 255, 255); }

// Private bytes: the commit charge (Wine leaves PrivateUsage at 0 but fills this one).
double PrivateKiB(HANDLE process) {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(process, &counters, sizeof(counters));
  return static_cast<double>(counters.PagefileUsage) / 1024.0;
}

double FileKiB(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
  return static_cast<double>(data.nFileSizeLow) / 1024.0;
}

void Row(const char* what, double kestrelon, double floor, const char* unit) {
  std::printf("ROW\t%s\t%.1f\t%.1f\t%s\n", what, kestrelon, floor, unit);
}

// Figures of one kind over all repetitions.
struct Spread {
  std::vector<double> values;
  double Min() const { return values.empty() ? 0 : *std::min_element(values.begin(), values.end()); }
  double Max() const { return values.empty() ? 0 : *std::max_element(values.begin(), values.end()); }
  double Median() const {
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    return sorted.empty() ? 0 : sorted[sorted.size() / 2];
  }
};

void PrintSpread(const char* what, const Spread& spread) {
  std::printf("  %-58s min %7.1f  median %7.1f  max %7.1f ms (%zu)\n", what, spread.Min(), spread.Median(),
              spread.Max(), spread.values.size());
}

// How the program started by a measured start is ended again, and what is timed then.
enum class Closer {
  kSecondStart,  // the same program started again: Kestrelon's toggle
  kToggleFloor,  // floor_toggle.exe, which only finds the popup and sends it UM_CLOSEMENU
  kTrivial,      // a trivial process is started and the window is closed by a message
  kMessage,      // the window is closed by a message, nothing is timed
};

std::map<std::wstring, std::wstring> HomeEnvironment(const std::wstring& home) {
  return {{L"homedrive", home.substr(0, 2)}, {L"homepath", home.substr(2)}};
}

// Polls the screen closely: the figures are tens of milliseconds apart.
bool WaitForPaint(bool painted, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (PanelPainted() != painted) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(1);
  }
  return true;
}

// Starts exe, times its first paint, then ends it as closer says and times that (process
// creation of the closing program to the exit of the first).
bool MeasureOnce(const std::wstring& exe, const wchar_t* windowClass, Closer closer, const std::wstring& home,
                 Spread* visible, Spread* toggle, double* privateKiB) {
  std::map<std::wstring, std::wstring> env = HomeEnvironment(home);
  double start = Now();
  kt::Process process = kt::StartProcess(exe, env, home);
  if (!WaitForPaint(true, 10000)) {
    kt::CloseProcess(process);
    return false;
  }
  if (visible) visible->values.push_back(Now() - start);
  kt::PumpFor(300);
  if (privateKiB) *privateKiB = PrivateKiB(process.handle);
  double toggleStart = Now();
  kt::Process second;
  switch (closer) {
    case Closer::kSecondStart:
      second = kt::StartProcess(exe, env, home);
      break;
    case Closer::kToggleFloor:
      second = kt::StartProcess(kt::ExeDir() + L"\\floor_toggle.exe", env, home);
      break;
    case Closer::kTrivial:
      // The trivial process starts, looks once for a window and exits.
      second = kt::StartProcess(kt::ExeDir() + L"\\ktool.exe", {}, home, L"wait-window KestrelonFloor 0");
      PostMessageW(FindWindowW(windowClass, nullptr), WM_DESTROY, 0, 0);
      break;
    case Closer::kMessage:
      PostMessageW(FindWindowW(windowClass, nullptr), WM_DESTROY, 0, 0);
      break;
  }
  bool ended = WaitForSingleObject(process.handle, 10000) == WAIT_OBJECT_0;
  if (toggle && ended) toggle->values.push_back(Now() - toggleStart);
  if (second.handle) kt::WaitExit(second, 10000);
  kt::WaitExit(process, 1000);
  kt::CloseProcess(process);
  kt::CloseProcess(second);
  // Let the screen lose the panel, and the ended processes' aftermath settle, before the next
  // start: a start right after a toggle ran measurably slower than one after a quiet end.
  WaitForPaint(false, 3000);
  Sleep(500);
  return ended;
}

const wchar_t kBenchPrograms[] =
    L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Kestrelon Bench";

void MakeBenchPrograms() {
  CreateDirectoryW(kBenchPrograms, nullptr);
  for (int i = 0; i < 20; ++i)
    kt::WriteTextFile(std::wstring(kBenchPrograms) + L"\\Program " + std::to_wstring(i) + L".txt", "x");
}

bool MenuShown() {
  HWND menu = FindWindowW(L"#32768", nullptr);
  return menu && IsWindowVisible(menu);
}

// Presses "All Programs" with a real click and closes the menu again, count times.
int PressAllPrograms(HWND popup, int count) {
  RECT rect;
  GetWindowRect(popup, &rect);
  int shown = 0;
  for (int i = 0; i < count; ++i) {
    kt::ClickAt(rect.left + 120, rect.top + 410);
    if (kt::WaitFor(MenuShown, 5000)) ++shown;
    PostMessageW(popup, WM_CANCELMODE, 0, 0);
    kt::WaitFor([] { return !MenuShown(); }, 5000);
  }
  return shown;
}

// Moves the cursor over the link column, a slot at a time, count times.
void HoverLinks(HWND popup, int count) {
  RECT rect;
  GetWindowRect(popup, &rect);
  for (int i = 0; i < count; ++i) {
    int slot = i % 10;
    SetCursorPos(rect.left + 300 + (i % 7), rect.top + 80 + 36 * slot);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_MOVE;  // relative 0: a move where the cursor already is
    SendInput(1, &input, sizeof(INPUT));
    kt::PumpFor(5);
  }
}

// Private bytes of one popup after start, after 100 presses and after 1,000 hover moves.
void MeasureUse(const std::wstring& home) {
  MakeBenchPrograms();
  std::map<std::wstring, std::wstring> env = {{L"homedrive", home.substr(0, 2)},
                                              {L"homepath", home.substr(2)}};
  kt::Process process = kt::StartProcess(kt::KestrelonExe(), env, home);
  HWND popup = kt::WaitForWindow(process.id, L"Kestrelon", 10000);
  kt::WaitFor(PanelPainted, 10000);
  kt::PumpFor(500);
  double afterStart = PrivateKiB(process.handle);
  int shown = PressAllPrograms(popup, 10);
  kt::PumpFor(500);
  double afterTenPresses = PrivateKiB(process.handle);
  shown += PressAllPrograms(popup, 90);
  kt::PumpFor(500);
  double afterPresses = PrivateKiB(process.handle);
  HoverLinks(popup, 1000);
  kt::PumpFor(500);
  double afterHovers = PrivateKiB(process.handle);
  std::printf(
      "private bytes (KiB): after start %.0f, after 10 presses %.0f, after 100 presses (%d menus shown) "
      "%.0f, "
      "after 1000 hovers %.0f\n",
      afterStart, afterTenPresses, shown, afterPresses, afterHovers);
  Row("private bytes after 100 All Programs presses (floor: after start)", afterPresses, afterStart, "KiB");
  Row("private bytes after 1,000 hover moves (floor: after start)", afterHovers, afterStart, "KiB");
  SendMessageW(popup, UM_CLOSEMENU, 0, 0);
  kt::WaitExit(process, 10000);
  kt::CloseProcess(process);
  kt::RemoveTree(kBenchPrograms);
}

}  // namespace

int main() {
  std::wstring home = kt::MakeTempDir(L"bench-home");
  std::wstring kestrelon = kt::KestrelonExe();
  std::wstring floor = kt::ExeDir() + L"\\floor_window.exe";
  std::wstring controlsFloor = kt::ExeDir() + L"\\floor_controls.exe";
  // Other builds of the program to compare with in the same run (before and after a change),
  // separated by ';'.
  wchar_t baselineText[4 * MAX_PATH] = {};
  DWORD baselineLength = GetEnvironmentVariableW(L"KESTRELON_BENCH_BASELINE", baselineText, 4 * MAX_PATH);
  std::vector<std::wstring> baselines;
  if (baselineLength > 0 && baselineLength < 4 * MAX_PATH) {
    std::wstring list = baselineText;
    for (size_t from = 0; from <= list.size();) {
      size_t to = list.find(L';', from);
      if (to == std::wstring::npos) to = list.size();
      if (to > from) baselines.push_back(list.substr(from, to - from));
      from = to + 1;
    }
  }
  wchar_t runsText[16] = {};
  DWORD runsLength = GetEnvironmentVariableW(L"KESTRELON_BENCH_RUNS", runsText, 16);
  int runs = runsLength > 0 && runsLength < 16 ? std::max(1, _wtoi(runsText)) : 20;

  Spread visible, toggle, floorToggle, windowVisible, trivialToggle, controlsVisible;
  std::vector<Spread> baseVisible(baselines.size()), baseToggle(baselines.size());
  double oursKiB = 0, leastKiB = 0;
  // One measured start each, in an order that turns by one place every repetition: where a
  // start falls in the sequence shifts its figures by more than the differences looked for.
  struct Contestant {
    std::wstring exe;
    const wchar_t* windowClass;
    Closer closer;
    Spread* visible;
    Spread* toggle;
    double* privateKiB;
    std::string name;
  };
  std::vector<Contestant> contestants = {
      {kestrelon, L"Kestrelon", Closer::kSecondStart, &visible, &toggle, &oursKiB, "kestrelon"},
      {floor, L"KestrelonFloor", Closer::kTrivial, &windowVisible, &trivialToggle, &leastKiB, "floor window"},
      {kestrelon, L"Kestrelon", Closer::kToggleFloor, &visible, &floorToggle, nullptr,
       "kestrelon closed by the toggle floor"},
      {controlsFloor, L"KestrelonControlsFloor", Closer::kMessage, &controlsVisible, nullptr, nullptr,
       "three-control floor"}};
  for (size_t b = 0; b < baselines.size(); ++b)
    contestants.push_back({baselines[b], L"Kestrelon", Closer::kSecondStart, &baseVisible[b], &baseToggle[b],
                           nullptr, "baseline " + std::to_string(b)});
  for (int i = 0; i < runs; ++i) {
    for (size_t turn = 0; turn < contestants.size(); ++turn) {
      const Contestant& c = contestants[(turn + static_cast<size_t>(i)) % contestants.size()];
      if (!MeasureOnce(c.exe, c.windowClass, c.closer, home, c.visible, c.toggle, c.privateKiB))
        std::printf("%s run %d failed\n", c.name.c_str(), i);
    }
  }
  std::printf("start to first paint and toggle, %d interleaved repetitions:\n", runs);
  PrintSpread("kestrelon start to visible", visible);
  PrintSpread("floor: minimal window start to visible", windowVisible);
  PrintSpread("floor: three-control window start to visible", controlsVisible);
  PrintSpread("kestrelon toggle (second start to first exit)", toggle);
  PrintSpread("floor: FindWindowW + SendMessageW program to kestrelon's exit", floorToggle);
  PrintSpread("floor: trivial process (minimal window closed)", trivialToggle);
  for (size_t b = 0; b < baselines.size(); ++b) {
    std::printf("baseline %ls:\n", baselines[b].c_str());
    PrintSpread("baseline start to visible", baseVisible[b]);
    PrintSpread("baseline toggle (second start to first exit)", baseToggle[b]);
  }
  Row("start to visible, min (floor: minimal window)", visible.Min(), windowVisible.Min(), "ms");
  Row("start to visible, median (floor: minimal window)", visible.Median(), windowVisible.Median(), "ms");
  Row("start to visible, max (floor: minimal window)", visible.Max(), windowVisible.Max(), "ms");
  Row("start to visible, min (floor: window with the three controls)", visible.Min(), controlsVisible.Min(),
      "ms");
  Row("start to visible, median (floor: window with the three controls)", visible.Median(),
      controlsVisible.Median(), "ms");
  Row("start to visible, max (floor: window with the three controls)", visible.Max(), controlsVisible.Max(),
      "ms");
  Row("toggle: second start to first exit, min (floor: FindWindowW + SendMessageW)", toggle.Min(),
      floorToggle.Min(), "ms");
  Row("toggle: second start to first exit, median (floor: FindWindowW + SendMessageW)", toggle.Median(),
      floorToggle.Median(), "ms");
  Row("toggle: second start to first exit, max (floor: FindWindowW + SendMessageW)", toggle.Max(),
      floorToggle.Max(), "ms");
  Row("toggle: second start to first exit, median (floor: a trivial process)", toggle.Median(),
      trivialToggle.Median(), "ms");
  Row("private bytes after start (floor: the minimal window)", oursKiB, leastKiB, "KiB");
  Row("size of the program", FileKiB(kestrelon), FileKiB(floor), "KiB");
  std::fflush(stdout);
  wchar_t skipUse[4] = {};
  if (!GetEnvironmentVariableW(L"KESTRELON_BENCH_STARTS_ONLY", skipUse, 4)) MeasureUse(home);
  kt::RemoveTree(home);
  return 0;
}
