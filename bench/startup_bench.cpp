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

struct Timings {
  std::vector<double> visible, toggle;
};

void Row(const char* what, double kestrelon, double floor, const char* unit) {
  std::printf("ROW\t%s\t%.1f\t%.1f\t%s\n", what, kestrelon, floor, unit);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

double Worst(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

// Starts the program, waits for its first paint, then ends it: by a second start for
// Kestrelon, by a key for the floor.
bool MeasureOnce(const std::wstring& exe, bool isKestrelon, const std::wstring& home, Timings* timings,
                 double* privateKiB) {
  std::map<std::wstring, std::wstring> env = {{L"homedrive", home.substr(0, 2)},
                                              {L"homepath", home.substr(2)}};
  double start = Now();
  kt::Process process = kt::StartProcess(exe, env, home);
  if (!kt::WaitFor(PanelPainted, 10000)) {
    kt::CloseProcess(process);
    return false;
  }
  timings->visible.push_back(Now() - start);
  kt::PumpFor(300);
  *privateKiB = PrivateKiB(process.handle);
  double toggleStart = Now();
  kt::Process second;
  if (isKestrelon) {
    second = kt::StartProcess(exe, env, home);
  } else {
    // The floor of a toggle: a process that starts, looks once for a window and exits.
    second = kt::StartProcess(kt::ExeDir() + L"\\ktool.exe", {}, home, L"wait-window KestrelonFloor 0");
    HWND window = FindWindowW(L"KestrelonFloor", nullptr);
    PostMessageW(window, WM_DESTROY, 0, 0);
  }
  bool ended = kt::WaitExit(process, 10000) == 0;
  timings->toggle.push_back(Now() - toggleStart);
  kt::WaitExit(second, 10000);
  kt::CloseProcess(process);
  kt::CloseProcess(second);
  // Let the screen lose the panel before the next start.
  kt::WaitFor([] { return !PanelPainted(); }, 3000);
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
  Timings ours, least;
  double oursKiB = 0, leastKiB = 0;
  const int runs = 20;
  for (int i = 0; i < runs; ++i) {
    if (!MeasureOnce(kestrelon, true, home, &ours, &oursKiB)) std::printf("kestrelon run %d failed\n", i);
    if (!MeasureOnce(floor, false, home, &least, &leastKiB)) std::printf("floor run %d failed\n", i);
  }
  std::printf(
      "start to first paint over %d starts (ms): kestrelon median %.1f worst %.1f; floor median %.1f worst "
      "%.1f\n",
      runs, Median(ours.visible), Worst(ours.visible), Median(least.visible), Worst(least.visible));
  Row("start to visible, median of 20", Median(ours.visible), Median(least.visible), "ms");
  Row("start to visible, worst of 20", Worst(ours.visible), Worst(least.visible), "ms");
  Row("toggle: second start to first exit, median", Median(ours.toggle), Median(least.toggle), "ms");
  Row("private bytes after start (floor: the minimal window)", oursKiB, leastKiB, "KiB");
  Row("size of the program", FileKiB(kestrelon), FileKiB(floor), "KiB");
  std::fflush(stdout);
  MeasureUse(home);
  kt::RemoveTree(home);
  return 0;
}
