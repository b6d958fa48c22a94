// How long the pinned items loader takes to put the first and the last item in the tree, against
// the least the same folder costs (enumeration and one icon lookup per entry), and how long a
// message to the tree waits while the loader runs. Passes of the loader and of the floor take
// turns, which goes first alternating.
//   bash tools/bench.sh pinned_items

#include "bench.h"

#include <atomic>

namespace {

// When a pass had its first and its last entry ready: an item in the tree, or for the floor an
// icon looked up.
double g_firstMs, g_lastMs;
void Ready() {
  g_lastMs = NowMs();
  if (g_firstMs == 0) g_firstMs = g_lastMs;
}

// What any pass must do: enumerate the folder and look up each entry's icon.
DWORD WINAPI FloorThread(void* folder) {
  HRESULT com = CoInitializeEx(nullptr, COM_AS_LOADER);
  ForEachEntry(*static_cast<std::wstring*>(folder), [](const std::wstring& path, bool) {
    HICON icon = GetLargeIconForPath(path);
    if (icon) DestroyIcon(icon);
    Ready();
  });
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}

// Insertions timed on the tree's own thread.
WNDPROC g_treeProc;
LRESULT CALLBACK TimedTreeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = CallWindowProcW(g_treeProc, window, message, wParam, lParam);
  if (message == TVM_INSERTITEMW) Ready();
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
// them; adds the times to the first and the last entry and the worst delay to figures.
void RunPass(LPTHREAD_START_ROUTINE work, std::wstring* folder, Spread figures[3]) {
  MakeHost();
  g_treeProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(g_treeWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TimedTreeProc)));
  g_worstDelayMs = g_firstMs = g_lastMs = 0;
  g_probing = true;
  HANDLE probe = CreateThread(nullptr, 0, ProbeThread, nullptr, 0, nullptr);
  double start = NowMs();
  RunOnThread(work, folder, 600000);
  g_probing = false;
  WaitFor([&] { return WaitForSingleObject(probe, 0) == WAIT_OBJECT_0; }, 5000);
  CloseHandle(probe);
  DestroyHost();
  figures[0].push_back(g_firstMs - start);
  figures[1].push_back(g_lastMs - start);
  figures[2].push_back(g_worstDelayMs);
}

void Measure(int count, int samples) {
  std::wstring folder = MakeTempDir(L"pinned-bench");
  MakeFiles(folder, L"item %04d.lnk", count);
  Spread loader[3], floor[3], warmUp[3];
  RunPass(FloorThread, &folder, warmUp);  // the shell's icon cache, then the loader's code
  RunPass(LoadPinnedThread, &folder, warmUp);
  for (int sample = 0; sample < samples * 2; ++sample) {
    bool floorsTurn = (sample + sample / 2) % 2 != 0;  // loader, floor, floor, loader, ...
    RunPass(floorsTurn ? FloorThread : LoadPinnedThread, &folder, floorsTurn ? floor : loader);
  }
  std::string entries = "pinned items, " + std::to_string(count) + " entries: ";
  Row(entries + "first item in tree (floor: first entry's enumeration + icon call)", loader[0], floor[0],
      "ms");
  Row(entries + "last item in tree (floor: enumeration + icon calls)", loader[1], floor[1], "ms");
  Row(entries + "worst message delay while loading (floor: during the floor)", loader[2], floor[2], "ms");
  RemoveTree(folder);
}

}  // namespace

int PinnedItemsBench() {
  Measure(100, 7);
  Measure(1000, 5);
  return 0;
}
