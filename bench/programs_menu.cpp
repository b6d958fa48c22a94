// How long "All Programs" takes from the button's command to the menu on screen, against the
// floor of the same tree (a bare walk making only the per-entry shell icon lookups), a bare
// enumeration and the same menu built serially (each icon made as its item is appended).
// Both builds must list the same entries, each press; it exits with 1 when they do not (that
// they give the same icons is the tests' business).
// Run: bash tools/bench.sh programs_menu
#include "bench.h"

namespace {

// The walk with nothing but what every entry needs from the shell: its small icon's index.
void WalkWithIconLookups(const std::wstring& folder, bool lookUpIcons) {
  ForEachEntry(folder, [lookUpIcons](const std::wstring& path, bool isFolder) {
    SHFILEINFOW info = {};
    if (lookUpIcons)
      SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    if (isFolder) WalkWithIconLookups(path, lookUpIcons);
  });
}

double TimeWalk(bool lookUpIcons) {
  double start = NowMs();
  HRESULT com = CoInitialize(nullptr);
  WalkWithIconLookups(g_menuFolder, lookUpIcons);
  if (SUCCEEDED(com)) CoUninitialize();
  return NowMs() - start;
}

// One press of the menu as the program builds it or serially; the entries it listed go to paths.
double TimePress(bool serial, std::vector<std::wstring>* paths) {
  g_serialMenus = serial;
  g_programEntries.clear();
  g_lastMenuId = 0;
  double ms = PressAllPrograms(600000);
  paths->clear();
  for (const ProgramEntry& entry : g_programEntries) paths->push_back(entry.targetPath);
  return ms;
}

// Shortcuts to a real program, as a start menu holds them, spread over folders.
bool MeasureTree(int folders, int filesPerFolder, int repeats) {
  g_menuFolder = MakeTempDir(L"programs-bench");
  std::vector<std::wstring> listed, listedSerially;
  for (int folder = 0; folder < folders; ++folder)
    MakeFiles(g_menuFolder + L"\\Group " + std::to_wstring(folder), L"Program %d.lnk", filesPerFolder);
  TimeWalk(true);  // warms the shell's caches for every measured run alike, and a press its code
  TimePress(false, &listed);
  Spread menu, serial, floor, enumeration;
  bool same = true;
  for (int repeat = 0; repeat < repeats; ++repeat) {
    if (repeat % 2 != 0) floor.push_back(TimeWalk(true));  // which goes first alternates
    menu.push_back(TimePress(false, &listed));
    if (repeat % 2 == 0) floor.push_back(TimeWalk(true));
    serial.push_back(TimePress(true, &listedSerially));
    enumeration.push_back(TimeWalk(false));
    same = same && !listed.empty() && listed == listedSerially;
  }
  int entries = folders * (filesPerFolder + 1);
  std::printf("tree of %d entries (%d folders of %d shortcuts), %d interleaved repetitions\n", entries,
              folders, filesPerFolder, repeats);
  PrintSpread("the same, menu built serially", serial);
  PrintSpread("bare enumeration", enumeration);
  Row("All Programs, " + std::to_string(entries) +
          " entries: command to menu shown (floor: walk + icon lookups)",
      menu, floor, "ms");
  if (!same) std::printf("THE BUILDS DIFFER: the serial build listed other entries\n");
  RemoveTree(g_menuFolder);
  return same;
}

}  // namespace

int ProgramsMenuBench() {
  MakeHost();
  bool same = MeasureTree(10, 19, 9) && MeasureTree(20, 99, 5);
  DestroyHost();
  return same ? 0 : 1;
}
