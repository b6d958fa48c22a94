// How long "All Programs" takes from the button's command to the menu on screen, against the
// floor of the same tree (a bare walk making only the per-entry shell icon lookups), a bare
// enumeration and the same menu built serially (each icon made as its item is appended).
// First it checks that both builds make the same menu; it exits with 1 when they do not.
// Run: bash tools/bench.sh programs_menu
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "app/state.h"
#include "bench.h"
#include "programs/programs_menu.h"

namespace {

// The walk with nothing but what every entry needs from the shell: its small icon's index.
void WalkWithIconLookups(const std::wstring& folder, bool lookUpIcons) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = found.cFileName, path = folder + L"\\" + name;
    if (name == L"." || name == L".." || name == L"desktop.ini" || name == L"Desktop.ini") continue;
    SHFILEINFOW info = {};
    if (lookUpIcons)
      SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) WalkWithIconLookups(path, lookUpIcons);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

double TimeWalk(bool lookUpIcons) {
  double start = NowMs();
  HRESULT com = CoInitialize(nullptr);
  WalkWithIconLookups(g_menuFolder, lookUpIcons);
  if (SUCCEEDED(com)) CoUninitialize();
  return NowMs() - start;
}

double TimePress(bool serial) {
  g_serialMenus = serial;
  return PressAllPrograms(600000);
}

// Shortcuts to a real program, as a start menu holds them, spread over folders.
void MeasureTree(int folders, int filesPerFolder, int repeats) {
  g_menuFolder = MakeTempDir(L"programs-bench");
  for (int folder = 0; folder < folders; ++folder) {
    std::wstring path = g_menuFolder + L"\\Group " + std::to_wstring(folder);
    CreateDirectoryW(path.c_str(), nullptr);
    MakeFiles(path, L"Program %d.lnk", filesPerFolder);
  }
  TimeWalk(true);  // warms the shell's caches for every measured run alike
  Spread menu, serial, floor, enumeration;
  for (int repeat = 0; repeat < repeats; ++repeat) {
    menu.values.push_back(TimePress(false));
    floor.values.push_back(TimeWalk(true));
    serial.values.push_back(TimePress(true));
    enumeration.values.push_back(TimeWalk(false));
  }
  int entries = folders * (filesPerFolder + 1);
  std::printf("tree of %d entries (%d folders of %d shortcuts), %d interleaved repetitions\n", entries,
              folders, filesPerFolder, repeats);
  PrintSpread("command to menu shown", menu);
  PrintSpread("the same, menu built serially", serial);
  PrintSpread("floor: walk + icon lookups", floor);
  PrintSpread("bare enumeration", enumeration);
  std::printf("  ratio menu / floor (medians) %.2f, serial menu / floor (medians) %.2f\n",
              menu.At(0.5) / floor.At(0.5), serial.At(0.5) / floor.At(0.5));
  Row("All Programs, " + std::to_string(entries) +
          " entries: command to menu shown (floor: walk + icon lookups)",
      menu.At(0.5), floor.At(0.5), "ms");
  RemoveTree(g_menuFolder);
}

// The unchecked bitmap's size and pixels, empty without one.
std::wstring Pixels(HBITMAP bitmap) {
  BITMAP info = {};
  if (!bitmap || !GetObjectW(bitmap, sizeof(info), &info)) return std::wstring();
  BITMAPINFO format = {};
  format.bmiHeader = {sizeof(BITMAPINFOHEADER), info.bmWidth, -info.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<DWORD> pixels(static_cast<size_t>(info.bmWidth) * static_cast<size_t>(info.bmHeight));
  HDC screen = GetDC(nullptr);
  GetDIBits(screen, bitmap, 0, static_cast<UINT>(info.bmHeight), pixels.data(), &format, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  std::wstring text = std::to_wstring(info.bmWidth) + L"x" + std::to_wstring(info.bmHeight) + L":";
  for (DWORD pixel : pixels) text += std::to_wstring(pixel) + L",";
  return text;
}

// One line an item, depth first: indent by depth, id (0 for a folder), label, whether it has a
// checked bitmap, then the unchecked bitmap's pixels, which also go to icons.
void ReadMenu(HMENU menu, const std::wstring& indent, std::vector<std::wstring>* items,
              std::set<std::wstring>* icons) {
  for (int position = 0; position < GetMenuItemCount(menu); ++position) {
    wchar_t label[1024] = {};
    MENUITEMINFOW item = {};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_SUBMENU | MIIM_CHECKMARKS | MIIM_ID | MIIM_STRING;
    item.dwTypeData = label;
    item.cch = 1024;
    GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &item);
    std::wstring pixels = Pixels(item.hbmpUnchecked);
    items->push_back(indent + std::to_wstring(item.hSubMenu ? 0u : item.wID) + L" \"" + label + L"\" " +
                     (item.hbmpChecked ? L"checked " : L"") + (pixels.empty() ? L"NO BITMAP" : pixels));
    icons->insert(pixels);
    if (item.hSubMenu) ReadMenu(item.hSubMenu, indent + L"  ", items, icons);
  }
}

// The menu of root built once, with the numbering starting afresh: its items, then its entries.
std::vector<std::wstring> BuildOnce(const std::wstring& root, bool serial, std::set<std::wstring>* icons) {
  g_lastMenuId = 0;
  g_programEntries.clear();
  HMENU menu = CreatePopupMenu();
  BuildMenu(root, serial, menu);
  std::vector<std::wstring> lines;
  ReadMenu(menu, L"", &lines, icons);
  DestroyProgramsMenu(menu);
  for (const ProgramEntry& entry : g_programEntries)
    lines.push_back(L"entry " + std::to_wstring(entry.commandId) + L" " + entry.targetPath);
  g_programEntries.clear();
  g_lastMenuId = 0;
  return lines;
}

// The phased build against the serial one on a tree whose entries have different icons (text,
// bitmap and unknown files, programs with and without an icon of their own, shortcuts to
// different targets and folders): structure, labels, ids, entries and every bitmap's pixels.
bool CheckSameMenu() {
  std::wstring root = MakeTempDir(L"programs-check"), empty = root + L"\\Empty";
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  for (const std::wstring& folder : {root + L"\\Tools", root + L"\\Tools\\Nested", empty})
    CreateDirectoryW(folder.c_str(), nullptr);
  for (const std::wstring& folder : {root, root + L"\\Tools", root + L"\\Tools\\Nested"}) {
    for (const wchar_t* name : {L"Readme.txt", L"Notes.ini", L"Picture.bmp", L"Data.kestrelonbench",
                                L"NoExtension", L"desktop.ini"})
      WriteTextFile(folder + L"\\" + name, "x");
    WriteTextFile(folder + L"\\Site.url", "[InternetShortcut]\r\nURL=http://localhost/\r\n");
    // Programs, the system's each with an icon of its own.
    for (const wchar_t* program : {L"notepad", L"regedit", L"winecfg", L"taskmgr", L"winemine", L"control"})
      CopyFileW((system + (L"\\" + std::wstring(program)) + L".exe").c_str(),
                (folder + L"\\" + program + L".exe").c_str(), FALSE);
    CopyFileW(Beside(L"kestrelon.exe").c_str(), (folder + L"\\Kestrelon.exe").c_str(), FALSE);
    CopyFileW(Beside(L"ktool.exe").c_str(), (folder + L"\\Tool.exe").c_str(), FALSE);
    MakeShortcut(folder + L"\\Kestrelon.lnk", Beside(L"kestrelon.exe"));
    MakeShortcut(folder + L"\\Tool.lnk", Beside(L"ktool.exe"));
    MakeShortcut(folder + L"\\Readme.lnk", folder + L"\\Readme.txt");
    MakeShortcut(folder + L"\\Folder.lnk", empty);
  }
  std::set<std::wstring> icons, ignored;
  // The phased build first, while the shell has not yet seen these files' icons.
  std::vector<std::wstring> phased = BuildOnce(root, false, &ignored);
  std::vector<std::wstring> serial = BuildOnce(root, true, &icons);
  std::vector<std::wstring> again = BuildOnce(root, false, &ignored);
  RemoveTree(root);
  bool same = phased == serial && again == serial && icons.size() >= 4 && !icons.count(L"");
  for (const std::vector<std::wstring>* built : {&phased, &again}) {
    for (size_t i = 0; i < std::max(built->size(), serial.size()); ++i) {
      std::wstring ours = i < built->size() ? (*built)[i] : L"nothing",
                   theirs = i < serial.size() ? serial[i] : L"nothing";
      if (ours != theirs)
        std::printf("MENU CHECK FAILED: %ls\n  serial: %ls\n", ours.substr(0, 120).c_str(),
                    theirs.substr(0, 120).c_str());
    }
  }
  // The check means something only if the tree really shows different icons.
  std::printf("menu check: %zu lines, %zu different icons: %s\n", serial.size(), icons.size(),
              same ? "phased and serial builds identical" : "DIFFERENT");
  std::fflush(stdout);
  return same;
}

}  // namespace

int ProgramsMenuBench() {
  MakeMenuOwner();
  bool same = CheckSameMenu();
  if (same) {
    MeasureTree(10, 19, 9);
    MeasureTree(20, 99, 5);
  }
  DestroyWindow(g_mainWnd);
  return same ? 0 : 1;
}
