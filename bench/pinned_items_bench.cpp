// How long the pinned items loader takes to fill the tree, against the least the same folder
// costs (enumeration and one icon lookup per entry), and how long a message to the tree waits
// while the loader runs.
//   bash tools/bench.sh pinned_items
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>

#include "app/shell_helpers.h"
#include "app/state.h"
#include "pinned/pinned_items.h"
#include "support/pinned_tree.h"
#include "support/wine_test.h"

namespace {

double g_ticksPerMs;
double NowMs() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / g_ticksPerMs;
}

// A folder of count shortcuts, the kind of entry a pinned folder holds.
std::wstring MakeFolder(int count) {
  std::wstring dir = kt::MakeTempDir(L"pinned-bench");
  std::wstring model = dir + L".lnk";
  kt::MakeShortcut(model, kt::RecorderExe(), L"bench");
  for (int i = 0; i < count; ++i) {
    wchar_t name[32];
    swprintf_s(name, L"\\item %04d.lnk", i);
    CopyFileW(model.c_str(), (dir + name).c_str(), TRUE);
  }
  DeleteFileW(model.c_str());
  return dir + L"\\";
}

DWORD WINAPI FloorThread(void* folder) {
  WIN32_FIND_DATAW found;
  std::wstring base = *static_cast<std::wstring*>(folder);
  HANDLE search = FindFirstFileW((base + L"*.*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  do {
    HICON icon = GetLargeIconForPath((base + found.cFileName).c_str());
    if (icon) DestroyIcon(icon);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return 0;
}

DWORD WINAPI LoaderThread(void* folder) {
  LoadPinnedItems(static_cast<std::wstring*>(folder)->c_str());
  return 0;
}

// Time of the last insertion, taken on the tree's own thread.
WNDPROC g_treeProc;
double g_lastInsertMs;
LRESULT CALLBACK TimedTreeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = CallWindowProcW(g_treeProc, window, message, wParam, lParam);
  if (message == TVM_INSERTITEMW) g_lastInsertMs = NowMs();
  return result;
}

// Sends WM_NULL to the tree every 2 ms and keeps the longest round trip.
std::atomic<bool> g_probing;
double g_worstDelayMs;
DWORD WINAPI ProbeThread(void*) {
  while (g_probing) {
    double sent = NowMs();
    SendMessageW(g_treeWnd, WM_NULL, 0, 0);
    g_worstDelayMs = std::max(g_worstDelayMs, NowMs() - sent);
    Sleep(2);
  }
  return 0;
}

struct PassTimes {
  double durationMs;
  double worstDelayMs;
};

// Runs work on a thread while this thread pumps the tree's messages and a probe measures them.
PassTimes RunPass(LPTHREAD_START_ROUTINE work, std::wstring* folder, bool untilLastInsert) {
  HWND host = kt::CreateTreeHost();
  g_treeProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(g_treeWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TimedTreeProc)));
  g_worstDelayMs = 0;
  g_probing = true;
  HANDLE probe = CreateThread(nullptr, 0, ProbeThread, nullptr, 0, nullptr);
  double start = NowMs();
  HANDLE thread = CreateThread(nullptr, 0, work, folder, 0, nullptr);
  kt::WaitFor([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, 600000);
  double end = untilLastInsert ? g_lastInsertMs : NowMs();
  g_probing = false;
  kt::WaitFor([&] { return WaitForSingleObject(probe, 0) == WAIT_OBJECT_0; }, 5000);
  CloseHandle(probe);
  CloseHandle(thread);
  SetWindowLongPtrW(g_treeWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_treeProc));
  kt::DestroyTreeHost(host);
  return {end - start, g_worstDelayMs};
}

void Measure(int count) {
  std::wstring folder = MakeFolder(count);
  RunPass(FloorThread, &folder, false);  // warms the shell's icon cache
  PassTimes floor = RunPass(FloorThread, &folder, false);
  PassTimes loader = RunPass(LoaderThread, &folder, true);
  std::printf(
      "%5d entries: last item in tree %8.1f ms | floor (enumeration + icon calls) %8.1f ms | ratio %.2f\n",
      count, loader.durationMs, floor.durationMs, loader.durationMs / floor.durationMs);
  std::printf(
      "%5d entries: worst message delay to the tree while loading %6.1f ms | during floor %6.1f ms | ratio "
      "%.2f\n",
      count, loader.worstDelayMs, floor.worstDelayMs,
      loader.worstDelayMs / std::max(floor.worstDelayMs, 0.001));
  std::printf(
      "ROW\tpinned items, %d entries: last item in tree (floor: enumeration + icon calls)\t%.1f\t%.1f\tms\n",
      count, loader.durationMs, floor.durationMs);
  std::printf(
      "ROW\tpinned items, %d entries: worst message delay while loading (floor: during the "
      "floor)\t%.1f\t%.1f\tms\n",
      count, loader.worstDelayMs, floor.worstDelayMs);
  std::fflush(stdout);
  kt::RemoveTree(folder.substr(0, folder.size() - 1));
}

}  // namespace

int main() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  g_ticksPerMs = static_cast<double>(frequency.QuadPart) / 1000.0;
  Measure(100);
  Measure(1000);
  return 0;
}
