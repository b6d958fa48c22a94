// How long "All Programs" takes from the button's command to the menu on screen, against the
// floor of the same tree (a bare walk making only the per-entry shell icon lookups) and a bare
// enumeration. Run: bash tools/bench.sh programs_menu
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/ids.h"
#include "app/state.h"
#include "programs/programs_menu.h"
#include "support/wine_test.h"

namespace {

constexpr int kRepeats = 3;

std::wstring g_benchRoot;  // the tree the bench window's "All Programs" walks
LARGE_INTEGER g_menuShownAt;
bool g_menuShown;

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LRESULT CALLBACK BenchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == IDC_ALLPROGRAMS) {
    ShowProgramsMenuFor(g_benchRoot);
    return 0;
  }
  if (message == WM_ENTERIDLE && wParam == MSGF_MENU) {
    if (!g_menuShown) QueryPerformanceCounter(&g_menuShownAt);
    g_menuShown = true;
    EndMenu();
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateBenchWindow() { return kt::CreatePopupSizedWindow(L"KtProgramsBench", BenchWindowProc); }

// Shortcuts to a real program, as a start menu holds them, spread over folders. Copies of one:
// Wine starts a menu builder process for every shortcut saved through the shell.
void MakeTree(const std::wstring& root, int folders, int filesPerFolder) {
  std::wstring model = root + L"\\model.lnk";
  kt::MakeShortcut(model, kt::RecorderExe());
  for (int folder = 0; folder < folders; ++folder) {
    std::wstring path = root + L"\\Group " + std::to_wstring(folder);
    CreateDirectoryW(path.c_str(), nullptr);
    for (int file = 0; file < filesPerFolder; ++file)
      CopyFileW(model.c_str(), (path + L"\\Program " + std::to_wstring(file) + L".lnk").c_str(), FALSE);
  }
  DeleteFileW(model.c_str());
}

// The walk with nothing but what every entry needs from the shell: its small icon's index.
void WalkWithIconLookups(const std::wstring& folder, bool lookUpIcons) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = found.cFileName;
    if (name == L"." || name == L".." || name == L"desktop.ini" || name == L"Desktop.ini") continue;
    std::wstring path = folder + L"\\" + name;
    if (lookUpIcons) {
      SHFILEINFOW info = {};
      SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    }
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) WalkWithIconLookups(path, lookUpIcons);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

double TimeWalk(const std::wstring& root, bool lookUpIcons) {
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  HRESULT com = CoInitialize(nullptr);
  WalkWithIconLookups(root, lookUpIcons);
  if (SUCCEEDED(com)) CoUninitialize();
  QueryPerformanceCounter(&end);
  return Milliseconds(start, end);
}

double TimePress(HWND window) {
  g_menuShown = false;
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_ALLPROGRAMS, BN_CLICKED), reinterpret_cast<LPARAM>(window));
  return g_menuShown ? Milliseconds(start, g_menuShownAt) : -1.0;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void MeasureTree(HWND window, int folders, int filesPerFolder) {
  g_benchRoot = kt::MakeTempDir(L"programs-bench");
  MakeTree(g_benchRoot, folders, filesPerFolder);
  TimeWalk(g_benchRoot, true);  // warms the shell's caches for every measured run alike
  std::vector<double> menu, floor, enumeration;
  for (int repeat = 0; repeat < kRepeats; ++repeat) {
    menu.push_back(TimePress(window));
    floor.push_back(TimeWalk(g_benchRoot, true));
    enumeration.push_back(TimeWalk(g_benchRoot, false));
  }
  int entries = folders * (filesPerFolder + 1);
  std::printf("tree of %d entries (%d folders of %d shortcuts), median of %d\n", entries, folders,
              filesPerFolder, kRepeats);
  std::printf("  command to menu shown        %9.1f ms\n", Median(menu));
  std::printf("  floor: walk + icon lookups   %9.1f ms\n", Median(floor));
  std::printf("  bare enumeration             %9.1f ms\n", Median(enumeration));
  std::printf("  ratio menu / floor           %9.2f\n", Median(menu) / Median(floor));
  std::printf(
      "ROW\tAll Programs, %d entries: command to menu shown (floor: walk + icon lookups)\t%.1f\t%.1f\tms\n",
      entries, Median(menu), Median(floor));
  std::fflush(stdout);
  kt::RemoveTree(g_benchRoot);
}

}  // namespace

int main() {
  g_mainWnd = CreateBenchWindow();
  MeasureTree(g_mainWnd, 10, 19);
  MeasureTree(g_mainWnd, 20, 99);
  DestroyWindow(g_mainWnd);
  return 0;
}
