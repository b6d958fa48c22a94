#include "bench.h"

#include <psapi.h>

#include <chrono>
#include <cwchar>
#include <filesystem>
#include <fstream>

#include "app/startup.h"
#include "pinned/pinned_items.h"

const char* g_part = "";
std::wstring g_menuFolder;
bool g_serialMenus;
int g_menusShown, g_menusTimedOut, g_itemsShown;

double NowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

double PrivateKiB(HANDLE process) {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(process, &counters, sizeof(counters));
  return static_cast<double>(counters.PagefileUsage) / 1024.0;
}

double At(const Spread& spread, double share) {
  Spread sorted = spread;
  std::sort(sorted.begin(), sorted.end());
  if (sorted.empty()) return 0;
  // Between the two middle figures for the median of an even count.
  double place = share * static_cast<double>(sorted.size() - 1);
  size_t below = static_cast<size_t>(place), above = std::min(below + 1, sorted.size() - 1);
  return sorted[below] + (sorted[above] - sorted[below]) * (place - static_cast<double>(below));
}

void PrintSpread(const char* what, const Spread& spread) {
  std::printf("  %-58s min %9.1f  median %9.1f  max %9.1f ms (%zu)\n", what, At(spread, 0), At(spread, 0.5),
              At(spread, 1), spread.size());
}

namespace {

// "central (min-max)", or the central figure alone for one sample.
std::string Cell(double central, const Spread& spread, int decimals) {
  char text[96];
  int length = std::snprintf(text, sizeof(text), "%.*f", decimals, central);
  if (spread.size() > 1 && length > 0 && static_cast<size_t>(length) < sizeof(text))
    std::snprintf(text + length, sizeof(text) - static_cast<size_t>(length), " (%.*f-%.*f)", decimals,
                  At(spread, 0), decimals, At(spread, 1));
  return text;
}

}  // namespace

void Row(const std::string& what, const Spread& kestrelon, const Spread& floor, const char* unit) {
  Spread ratios;
  for (size_t i = 0; floor.size() > 1 && kestrelon.size() % floor.size() == 0 && i < kestrelon.size(); ++i)
    if (floor[i % floor.size()] > 0) ratios.push_back(kestrelon[i] / floor[i % floor.size()]);
  double ours = At(kestrelon, 0.5), least = At(floor, 0.5);
  std::printf("ROW\t%s\t%s\t%s\t%s\t%s\n", what.c_str(), Cell(ours, kestrelon, 1).c_str(),
              Cell(least, floor, 1).c_str(), least > 0 ? Cell(ours / least, ratios, 2).c_str() : "-", unit);
  std::fflush(stdout);
}

std::wstring MakeTempDir(const std::wstring& tag) {
  static unsigned counter;
  std::error_code ignored;
  std::wstring name =
      L"kt-" + tag + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
  std::filesystem::path dir = std::filesystem::temp_directory_path(ignored) / name;
  std::filesystem::remove_all(dir, ignored);  // left by an earlier run with the same process id
  return std::filesystem::create_directory(dir, ignored) ? dir.wstring() : std::wstring();
}

void MakeFiles(const std::wstring& folder, const wchar_t* format, int count) {
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  // Copies of one shortcut: Wine starts a menu builder for every shortcut saved through the shell.
  std::wstring model = folder + L"\\model.lnk";
  bool shortcuts = IsShortcutName(format) && MakeShortcut(model, Beside(L"ktool.exe"), L"bench");
  for (int i = 0; i < count; ++i) {
    wchar_t name[64];
    swprintf_s(name, format, i);
    if (shortcuts) CopyFileW(model.c_str(), (folder + L"\\" + name).c_str(), FALSE);
    if (!shortcuts) std::ofstream(std::filesystem::path(folder + L"\\" + name)) << "x";
  }
  DeleteFileW(model.c_str());
}

void SetHome(const std::wstring& folder) {
  SetEnvironmentVariableW(L"homedrive", folder.substr(0, 2).c_str());
  SetEnvironmentVariableW(L"homepath", folder.substr(2).c_str());
}

HWND ProcessWindow(DWORD processId, const wchar_t* className) {
  for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, className, nullptr)) != nullptr;) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == processId) return window;
  }
  return nullptr;
}

void ForEachEntry(const std::wstring& folder, const std::function<void(const std::wstring&, bool)>& visit) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = found.cFileName;
    if (name != L"." && name != L".." && name != L"desktop.ini" && name != L"Desktop.ini")
      visit(folder + L"\\" + name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

namespace {

// Under load Wine now and then snaps the cursor back to an earlier place.
bool CursorIsAt(POINT screen) {
  POINT now = {};
  return GetCursorPos(&now) && now.x == screen.x && now.y == screen.y;
}

}  // namespace

bool PlaceCursor(POINT screen, DWORD settleMs) {
  SetCursorPos(screen.x, screen.y);
  for (DWORD start = GetTickCount(); !CursorIsAt(screen); Sleep(1))
    if (GetTickCount() - start >= 2000) return false;
  PumpFor(settleMs);
  return CursorIsAt(screen);
}

namespace {

// The reference build: a depth-first walk that makes each item's icon as it appends the item.
void BuildSerially(const std::wstring& folder, HMENU menu) {
  ForEachEntry(folder, [menu](const std::wstring& path, bool isFolder) {
    // Every entry takes a number, as a press numbers them; a folder's goes unused.
    if (++g_lastMenuId >= IDC_FIRST_FIXED_COMMAND && g_lastMenuId <= IDC_LAST_FIXED_COMMAND)
      g_lastMenuId = IDC_LAST_FIXED_COMMAND + 1;
    std::wstring label = path.substr(path.rfind(L'\\') + 1);
    if (IsShortcutName(label.c_str())) StripShortcutExtension(&label[0]);
    HMENU submenu = isFolder ? CreatePopupMenu() : nullptr;
    if (submenu) AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(submenu), label.c_str());
    if (!submenu) AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(g_lastMenuId), label.c_str());
    if (!submenu) g_programEntries.push_back({g_lastMenuId, path});
    HBITMAP icon = MakeMenuIconBitmap(path);
    if (!SetMenuItemBitmaps(menu, static_cast<UINT>(GetMenuItemCount(menu) - 1), MF_BYPOSITION, icon,
                            nullptr))
      DeleteObject(icon);
    if (submenu) BuildSerially(path, submenu);
  });
}

constexpr UINT_PTR kSafetyTimer = 0x5AFE;
WNDPROC g_popupProc;
bool g_menuEnded;
double g_menuShownAt;

LRESULT CALLBACK EndingMenusProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ENTERIDLE && wParam == MSGF_MENU && !g_menuEnded) {
    g_menuShownAt = NowMs();
    g_menuEnded = true;
    ++g_menusShown;
    // The items of the menu window's menu; -1 when it has none.
    g_itemsShown = GetMenuItemCount(
        reinterpret_cast<HMENU>(SendMessageW(reinterpret_cast<HWND>(lParam), MN_GETHMENU, 0, 0)));
    EndMenu();
    return 0;
  }
  // The popup ends its run on a timer it does not know: the safety timer must not reach it.
  if (message == WM_TIMER && wParam == kSafetyTimer) {
    g_menusTimedOut += !g_menuEnded;
    g_menuEnded = true;
    EndMenu();
    return 0;
  }
  if (message != WM_COMMAND || LOWORD(wParam) != IDC_ALLPROGRAMS || g_menuFolder.empty())
    return CallWindowProcW(g_popupProc, window, message, wParam, lParam);
  // As the popup's press does, with the menu of g_menuFolder.
  HMENU root = CreatePopupMenu();
  POINT anchor = PROGRAMS_MENU_ANCHOR;
  ClientToScreen(g_mainWnd, &anchor);
  HRESULT com = CoInitialize(nullptr);  // the shell's icon lookups want COM, the tracking not
  if (g_serialMenus) {
    BuildSerially(g_menuFolder, root);
  } else {
    BuildProgramsMenu(g_menuFolder, L"*", root);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  TrackPopupMenu(root, TPM_BOTTOMALIGN, anchor.x, anchor.y, 0, g_mainWnd, nullptr);
  DestroyProgramsMenu(root);
  return 0;
}

// Subclasses window so that its menus end as soon as they show.
void EndMenusOf(HWND popup) {
  g_popupProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(popup, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EndingMenusProc)));
}

}  // namespace

double PressAllPrograms(DWORD timeoutMs) {
  MSG quit;
  PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);  // nothing here waits for the run's end
  HWND button = GetDlgItem(g_mainWnd, IDC_ALLPROGRAMS);
  int shown = g_menusShown;
  g_menuEnded = false;
  SetTimer(g_mainWnd, kSafetyTimer, timeoutMs, nullptr);
  double start = NowMs();
  SendMessageW(g_mainWnd, WM_COMMAND, MAKEWPARAM(IDC_ALLPROGRAMS, BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
  KillTimer(g_mainWnd, kSafetyTimer);
  return g_menusShown > shown ? g_menuShownAt - start : -1;
}

HWND ShowPanelPopup(const std::wstring& home) {
  SetHome(home);
  if (!OpenPopup(GetModuleHandleW(nullptr))) return nullptr;
  // The home has no pinned items: the loader thread's last call of the tree gives it its image list.
  WaitFor([] { return TreeView_GetImageList(g_treeWnd, TVSIL_NORMAL) != nullptr; }, 5000);
  WaitFor([] { return SetForegroundWindow(g_mainWnd) && GetForegroundWindow() == g_mainWnd; }, 2000);
  UpdateWindow(g_mainWnd);
  PumpFor(100);
  EndMenusOf(g_mainWnd);
  return g_mainWnd;
}

void MakeHost() {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_TREEVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  g_hInstance = GetModuleHandleW(nullptr);
  RECT work = {};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  g_mainWnd = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"Static", L"", WS_POPUP | WS_VISIBLE, 0,
                              work.bottom - POPUP_HEIGHT, POPUP_WIDTH, POPUP_HEIGHT, nullptr, nullptr,
                              g_hInstance, nullptr);
  g_treeWnd = CreateWindowExW(0, PINNED_TREE.className, PINNED_TREE.text, PINNED_TREE.style, PINNED_TREE.x,
                              PINNED_TREE.y, PINNED_TREE.width, PINNED_TREE.height, g_mainWnd, nullptr,
                              g_hInstance, nullptr);
  EndMenusOf(g_mainWnd);
  PumpFor(50);
}

void DestroyHost() {
  HIMAGELIST images = TreeView_GetImageList(g_treeWnd, TVSIL_NORMAL);
  DestroyWindow(g_mainWnd);
  if (images) ImageList_Destroy(images);
}

bool RunOnThread(LPTHREAD_START_ROUTINE work, void* argument, DWORD timeoutMs) {
  HANDLE thread = CreateThread(nullptr, 0, work, argument, 0, nullptr);
  bool ended = WaitFor([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, timeoutMs);
  if (!ended) TerminateThread(thread, 1);  // it reads argument, which must outlive it
  WaitForSingleObject(thread, 5000);
  CloseHandle(thread);
  return ended;
}

DWORD WINAPI LoadPinnedThread(void* folder) {
  HRESULT com = CoInitializeEx(nullptr, COM_AS_LOADER);
  LoadPinnedItems(*static_cast<const std::wstring*>(folder) + L"\\");
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}

int main(int argc, char** argv) {
  // In the order the scripts run them.
  const struct {
    const char* kind;
    const char* name;
    int (*run)();
  } parts[] = {{"bench", "pinned_items", PinnedItemsBench},
               {"bench", "programs_menu", ProgramsMenuBench},
               {"bench", "startup", StartupBench},
               {"soak", "toggle", SoakToggle},
               {"soak", "presses", SoakPresses},
               {"soak", "hovers", SoakHovers},
               {"soak", "programs2000", SoakPrograms2000},
               {"soak", "pinned2000", SoakPinned2000}};
  std::string asked = argc == 2 ? argv[1] : "--help";
  for (const auto& part : parts) {
    if (asked == "--list") std::printf("%s %s\n", part.kind, part.name);
    if (asked == part.name) return g_part = part.name, part.run();
  }
  if (asked == "--list") return 0;
  std::fprintf(stderr, "usage: kestrelon_bench PART, one of those kestrelon_bench --list names\n");
  return 2;
}
