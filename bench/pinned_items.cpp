// How long the pinned items loader takes to fill the tree, against the least the same folder
// costs (enumeration and one icon lookup per entry), and how long a message to the tree waits
// while the loader runs.
//   bash tools/bench.sh pinned_items

#include "bench.h"

#include <atomic>

namespace {

// What any pass must do: enumerate the folder and look up each entry's icon.
DWORD WINAPI FloorThread(void* folder) {
  ForEachEntry(*static_cast<std::wstring*>(folder), [](const std::wstring& path, bool) {
    HICON icon = GetLargeIconForPath(path);
    if (icon) DestroyIcon(icon);
  });
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

// Runs work on a thread while this thread handles the tree's messages and a probe measures
// them; gives the pass's time and the worst delay.
std::pair<double, double> RunPass(LPTHREAD_START_ROUTINE work, std::wstring* folder, bool untilLastInsert) {
  MakeHost();
  g_treeProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(g_treeWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TimedTreeProc)));
  g_worstDelayMs = 0;
  g_probing = true;
  HANDLE probe = CreateThread(nullptr, 0, ProbeThread, nullptr, 0, nullptr);
  double start = NowMs();
  RunOnThread(work, folder, 600000);
  double end = untilLastInsert ? g_lastInsertMs : NowMs();
  g_probing = false;
  WaitFor([&] { return WaitForSingleObject(probe, 0) == WAIT_OBJECT_0; }, 5000);
  CloseHandle(probe);
  DestroyHost();
  return {end - start, g_worstDelayMs};
}

void Measure(int count) {
  std::wstring folder = MakeTempDir(L"pinned-bench");
  MakeFiles(folder, L"item %04d.lnk", count);
  RunPass(FloorThread, &folder, false);  // warms the shell's icon cache
  auto floor = RunPass(FloorThread, &folder, false);
  auto loader = RunPass(LoadPinnedThread, &folder, true);
  std::string entries = "pinned items, " + std::to_string(count) + " entries: ";
  Row(entries + "last item in tree (floor: enumeration + icon calls)", loader.first, floor.first, "ms");
  Row(entries + "worst message delay while loading (floor: during the floor)", loader.second, floor.second,
      "ms");
  RemoveTree(folder);
}

}  // namespace

int PinnedItemsBench() {
  Measure(100);
  Measure(1000);
  return 0;
}
