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
#include <string>
#include <vector>

#include "app/ids.h"
#include "app/state.h"
#include "programs/programs_menu.h"
#include "support/wine_test.h"

namespace {

std::wstring g_benchRoot;  // the tree the bench window's "All Programs" walks
bool g_serialPress;        // the bench window builds its menu serially
LARGE_INTEGER g_menuShownAt;
bool g_menuShown;

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// ShowProgramsMenuFor with the serial build.
void ShowSerialProgramsMenu(const std::wstring& folder) {
  HMENU root = CreatePopupMenu();
  POINT anchor = {11, 430};
  ClientToScreen(g_mainWnd, &anchor);
  HRESULT com = CoInitialize(nullptr);
  BuildProgramsMenuSerially(folder, L"*", root);
  if (SUCCEEDED(com)) CoUninitialize();
  TrackPopupMenu(root, TPM_BOTTOMALIGN, anchor.x, anchor.y, 0, g_mainWnd, nullptr);
  DestroyProgramsMenu(root);
}

LRESULT CALLBACK BenchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == IDC_ALLPROGRAMS) {
    if (g_serialPress) {
      ShowSerialProgramsMenu(g_benchRoot);
    } else {
      ShowProgramsMenuFor(g_benchRoot);
    }
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

double TimePress(HWND window, bool serial) {
  g_serialPress = serial;
  g_menuShown = false;
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_ALLPROGRAMS, BN_CLICKED), reinterpret_cast<LPARAM>(window));
  return g_menuShown ? Milliseconds(start, g_menuShownAt) : -1.0;
}

struct Spread {
  std::vector<double> values;
  double At(size_t place) const {
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    return sorted[place];
  }
  double Min() const { return At(0); }
  double Median() const { return At(values.size() / 2); }
  double Max() const { return At(values.size() - 1); }
};

void PrintSpread(const char* what, const Spread& spread) {
  std::printf("  %-40s min %9.1f  median %9.1f  max %9.1f ms\n", what, spread.Min(), spread.Median(),
              spread.Max());
}

void MeasureTree(HWND window, int folders, int filesPerFolder, int repeats) {
  g_benchRoot = kt::MakeTempDir(L"programs-bench");
  MakeTree(g_benchRoot, folders, filesPerFolder);
  TimeWalk(g_benchRoot, true);  // warms the shell's caches for every measured run alike
  Spread menu, serial, floor, enumeration;
  for (int repeat = 0; repeat < repeats; ++repeat) {
    menu.values.push_back(TimePress(window, false));
    floor.values.push_back(TimeWalk(g_benchRoot, true));
    serial.values.push_back(TimePress(window, true));
    enumeration.values.push_back(TimeWalk(g_benchRoot, false));
  }
  int entries = folders * (filesPerFolder + 1);
  std::printf("tree of %d entries (%d folders of %d shortcuts), %d interleaved repetitions\n", entries,
              folders, filesPerFolder, repeats);
  PrintSpread("command to menu shown", menu);
  PrintSpread("the same, menu built serially", serial);
  PrintSpread("floor: walk + icon lookups", floor);
  PrintSpread("bare enumeration", enumeration);
  std::printf("  ratio menu / floor (medians)             %9.2f\n", menu.Median() / floor.Median());
  std::printf("  ratio serial menu / floor (medians)      %9.2f\n", serial.Median() / floor.Median());
  std::printf(
      "ROW\tAll Programs, %d entries: command to menu shown (floor: walk + icon lookups)\t%.1f\t%.1f\tms\n",
      entries, menu.Median(), floor.Median());
  std::fflush(stdout);
  kt::RemoveTree(g_benchRoot);
}

// One menu item as the comparison sees it.
struct ItemView {
  int depth;
  bool folder;
  UINT id;
  std::wstring label;
  bool checkedBitmap;
  std::vector<DWORD> pixels;  // the unchecked bitmap, 32 bits a pixel; empty without one
};

std::vector<DWORD> BitmapPixels(HBITMAP bitmap) {
  std::vector<DWORD> pixels;
  BITMAP info = {};
  if (!bitmap || !GetObjectW(bitmap, sizeof(info), &info)) return pixels;
  BITMAPINFO format = {};
  format.bmiHeader.biSize = sizeof(format.bmiHeader);
  format.bmiHeader.biWidth = info.bmWidth;
  format.bmiHeader.biHeight = -info.bmHeight;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  pixels.resize(static_cast<size_t>(info.bmWidth) * static_cast<size_t>(info.bmHeight) + 2);
  pixels[0] = static_cast<DWORD>(info.bmWidth);
  pixels[1] = static_cast<DWORD>(info.bmHeight);
  HDC screen = GetDC(nullptr);
  GetDIBits(screen, bitmap, 0, static_cast<UINT>(info.bmHeight), &pixels[2], &format, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  return pixels;
}

void ReadMenu(HMENU menu, int depth, std::vector<ItemView>* items) {
  int count = GetMenuItemCount(menu);
  for (int position = 0; position < count; ++position) {
    wchar_t label[1024] = {};
    MENUITEMINFOW item = {};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_SUBMENU | MIIM_CHECKMARKS | MIIM_ID | MIIM_STRING;
    item.dwTypeData = label;
    item.cch = 1024;
    GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &item);
    items->push_back({depth, item.hSubMenu != nullptr, item.hSubMenu ? 0u : item.wID, label,
                      item.hbmpChecked != nullptr, BitmapPixels(item.hbmpUnchecked)});
    if (item.hSubMenu) ReadMenu(item.hSubMenu, depth + 1, items);
  }
}

// Builds the menu of root once, with the numbering starting afresh.
std::vector<ItemView> BuildOnce(const std::wstring& root, bool serial, std::vector<ProgramEntry>* entries) {
  g_lastMenuId = 0;
  g_programEntries.clear();
  HMENU menu = CreatePopupMenu();
  HRESULT com = CoInitialize(nullptr);
  if (serial) {
    BuildProgramsMenuSerially(root, L"*", menu);
  } else {
    BuildProgramsMenu(root, L"*", menu);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  std::vector<ItemView> items;
  ReadMenu(menu, 0, &items);
  DestroyProgramsMenu(menu);
  *entries = g_programEntries;
  return items;
}

// A tree whose entries have different icons: text, bitmap and unknown files, programs with and
// without an icon of their own, shortcuts to different targets and folders.
std::wstring MakeMixedTree() {
  std::wstring root = kt::MakeTempDir(L"programs-check");
  std::wstring exeDir = kt::ExeDir();
  wchar_t systemDir[MAX_PATH] = {};
  GetSystemDirectoryW(systemDir, MAX_PATH);
  std::wstring system = systemDir;
  std::wstring tools = root + L"\\Tools";
  std::wstring nested = tools + L"\\Nested";
  std::wstring empty = root + L"\\Empty";
  CreateDirectoryW(tools.c_str(), nullptr);
  CreateDirectoryW(nested.c_str(), nullptr);
  CreateDirectoryW(empty.c_str(), nullptr);
  for (const std::wstring& folder : {root, tools, nested}) {
    kt::WriteTextFile(folder + L"\\Readme.txt", "x");
    kt::WriteTextFile(folder + L"\\Notes.ini", "[x]");
    kt::WriteTextFile(folder + L"\\Picture.bmp", "BM");
    kt::WriteTextFile(folder + L"\\Data.kestrelonbench", "x");
    kt::WriteTextFile(folder + L"\\NoExtension", "x");
    kt::WriteTextFile(folder + L"\\Site.url", "[InternetShortcut]\r\nURL=http://localhost/\r\n");
    CopyFileW((exeDir + L"\\kestrelon.exe").c_str(), (folder + L"\\Kestrelon.exe").c_str(), FALSE);
    CopyFileW((exeDir + L"\\ktool.exe").c_str(), (folder + L"\\Tool.exe").c_str(), FALSE);
    // System programs, each with an icon of its own.
    for (const wchar_t* program : {L"notepad", L"regedit", L"winecfg", L"taskmgr", L"winemine", L"control"})
      CopyFileW((system + L"\\" + program + L".exe").c_str(), (folder + L"\\" + program + L".exe").c_str(),
                FALSE);
    kt::MakeShortcut(folder + L"\\Kestrelon.lnk", exeDir + L"\\kestrelon.exe");
    kt::MakeShortcut(folder + L"\\Tool.lnk", exeDir + L"\\ktool.exe");
    kt::MakeShortcut(folder + L"\\Readme.lnk", folder + L"\\Readme.txt");
    kt::MakeShortcut(folder + L"\\Folder.lnk", empty);
    kt::WriteTextFile(folder + L"\\desktop.ini", "[.ShellClassInfo]");
  }
  return root;
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
  return out;
}

// The phased build against the serial one on a tree with different icons: structure, labels,
// ids, entries and every bitmap's pixels must be the same.
bool CheckSameMenu() {
  std::wstring root = MakeMixedTree();
  std::vector<ProgramEntry> phasedEntries, serialEntries;
  // The phased build first, while the shell has not yet seen these files' icons.
  std::vector<ItemView> phased = BuildOnce(root, false, &phasedEntries);
  std::vector<ItemView> serial = BuildOnce(root, true, &serialEntries);
  std::vector<ProgramEntry> againEntries;
  std::vector<ItemView> again = BuildOnce(root, false, &againEntries);
  g_lastMenuId = 0;
  g_programEntries.clear();
  kt::RemoveTree(root);

  bool same = true;
  auto differ = [&same](const std::string& what) {
    std::printf("MENU CHECK FAILED: %s\n", what.c_str());
    same = false;
  };
  for (const std::vector<ItemView>* built : {&phased, &again}) {
    const char* which = built == &phased ? "first phased build" : "second phased build";
    if (built->size() != serial.size()) {
      differ(std::string(which) + ": " + std::to_string(built->size()) + " items, serial " +
             std::to_string(serial.size()));
      continue;
    }
    for (size_t i = 0; i < serial.size(); ++i) {
      const ItemView& a = (*built)[i];
      const ItemView& b = serial[i];
      std::string item = std::string(which) + ", item " + std::to_string(i) + " \"" + Narrow(b.label) + "\"";
      if (a.depth != b.depth || a.folder != b.folder) differ(item + ": structure");
      if (a.id != b.id) differ(item + ": id " + std::to_string(a.id) + ", serial " + std::to_string(b.id));
      if (a.label != b.label) differ(item + ": label \"" + Narrow(a.label) + "\"");
      if (a.checkedBitmap != b.checkedBitmap) differ(item + ": checked bitmap");
      if (a.pixels.empty() || a.pixels != b.pixels) differ(item + ": bitmap pixels");
    }
  }
  for (const std::vector<ProgramEntry>* entries : {&phasedEntries, &againEntries}) {
    bool equal = entries->size() == serialEntries.size();
    for (size_t i = 0; equal && i < serialEntries.size(); ++i)
      equal = (*entries)[i].commandId == serialEntries[i].commandId &&
              (*entries)[i].targetPath == serialEntries[i].targetPath;
    if (!equal) differ("g_programEntries differ from the serial build's");
  }
  // The check means something only if the tree really shows different icons.
  std::vector<std::vector<DWORD>> distinct;
  for (const ItemView& item : serial) {
    if (std::find(distinct.begin(), distinct.end(), item.pixels) == distinct.end())
      distinct.push_back(item.pixels);
  }
  if (distinct.size() < 4)
    differ("the tree shows only " + std::to_string(distinct.size()) + " different icons");
  std::printf("menu check: %zu items, %zu entries, %zu different icons: %s\n", serial.size(),
              serialEntries.size(), distinct.size(),
              same ? "phased and serial builds identical" : "DIFFERENT");
  std::fflush(stdout);
  return same;
}

}  // namespace

int main() {
  g_mainWnd = CreateBenchWindow();
  if (!CheckSameMenu()) {
    DestroyWindow(g_mainWnd);
    return 1;
  }
  MeasureTree(g_mainWnd, 10, 19, 9);
  MeasureTree(g_mainWnd, 20, 99, 5);
  DestroyWindow(g_mainWnd);
  return 0;
}
