#include "bench.h"

#include <commctrl.h>
#include <objbase.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <fstream>

#include "app/ids.h"
#include "app/main_window.h"
#include "app/shell_helpers.h"
#include "app/state.h"
#include "panel/link_column.h"
#include "panel/panel_paint.h"
#include "pinned/pinned_items.h"
#include "programs/programs_menu.h"

const char* g_part = "";
std::wstring g_menuFolder;
bool g_serialMenus;
int g_menusShown, g_menusTimedOut, g_itemsShown;

double NowMs() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double PrivateKiB(HANDLE process) {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(process, &counters, sizeof(counters));
  return static_cast<double>(counters.PagefileUsage) / 1024.0;
}

double Spread::At(double share) const {
  if (values.empty()) return 0;
  std::vector<double> sorted = values;
  std::sort(sorted.begin(), sorted.end());
  return sorted[std::min(sorted.size() - 1, static_cast<size_t>(share * static_cast<double>(sorted.size())))];
}

void PrintSpread(const char* what, const Spread& spread) {
  std::printf("  %-58s min %9.1f  median %9.1f  max %9.1f ms (%zu)\n", what, spread.At(0), spread.At(0.5),
              spread.At(1), spread.values.size());
}

void Row(const std::string& what, double kestrelon, double floor, const char* unit) {
  std::printf("ROW\t%s\t%.1f\t%.1f\t%s\n", what.c_str(), kestrelon, floor, unit);
  std::fflush(stdout);
}

std::wstring MakeTempDir(const std::wstring& tag) {
  wchar_t temp[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temp);
  static unsigned counter;
  for (;;) {
    std::wstring dir = temp + (L"kt-" + tag) + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                       std::to_wstring(++counter);
    if (CreateDirectoryW(dir.c_str(), nullptr)) return dir;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return std::wstring();
  }
}

void RemoveTree(const std::wstring& path) {
  std::error_code ignored;  // what cannot go stays in %TEMP%
  std::filesystem::remove_all(path, ignored);
}

void WriteTextFile(const std::wstring& path, const char* content) {
  std::ofstream(std::filesystem::path(path), std::ios::binary) << content;
}

void MakeFiles(const std::wstring& folder, const wchar_t* format, int count) {
  // Copies of one shortcut: Wine starts a menu builder for every shortcut saved through the shell.
  std::wstring model = folder + L"\\model.lnk";
  bool shortcuts = IsShortcutName(format) && MakeShortcut(model, Beside(L"ktool.exe"), L"bench");
  for (int i = 0; i < count; ++i) {
    wchar_t name[64];
    swprintf_s(name, format, i);
    if (shortcuts) CopyFileW(model.c_str(), (folder + L"\\" + name).c_str(), FALSE);
    if (!shortcuts) WriteTextFile(folder + L"\\" + name, "x");
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

namespace {

// Under load Wine now and then snaps the cursor back to an earlier place.
bool CursorIsAt(POINT screen) {
  POINT now = {};
  return GetCursorPos(&now) && now.x == screen.x && now.y == screen.y;
}

}  // namespace

bool PlaceCursor(POINT screen) {
  SetCursorPos(screen.x, screen.y);
  for (DWORD start = GetTickCount(); !CursorIsAt(screen); Sleep(1))
    if (GetTickCount() - start >= 2000) return false;
  return true;
}

void ClickAt(int x, int y) {
  // The cursor set first, then move, down and up in one call: separate calls lose clicks. The
  // cursor must still stand there after a moment, or the click's hover state is the old place's.
  for (int attempt = 0; attempt < 3; ++attempt) {
    PlaceCursor(POINT{x, y});
    PumpFor(100);
    if (CursorIsAt(POINT{x, y})) break;
  }
  INPUT inputs[3] = {};
  for (INPUT& input : inputs) input.type = INPUT_MOUSE;
  inputs[0].mi.dx = (x * 65536 + GetSystemMetrics(SM_CXSCREEN) - 1) / GetSystemMetrics(SM_CXSCREEN);
  inputs[0].mi.dy = (y * 65536 + GetSystemMetrics(SM_CYSCREEN) - 1) / GetSystemMetrics(SM_CYSCREEN);
  inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(3, inputs, sizeof(INPUT));
}

namespace {

constexpr UINT_PTR kSafetyTimer = 0x5AFE;
WNDPROC g_popupProc;
bool g_menuEnded;
double g_menuShownAt;

LRESULT CALLBACK EndingMenusProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ENTERIDLE && wParam == MSGF_MENU && !g_menuEnded) {
    g_menuShownAt = NowMs();
    g_menuEnded = true;
    ++g_menusShown;
    HWND menuWindow = reinterpret_cast<HWND>(lParam);
    HMENU menu =
        IsWindow(menuWindow) ? reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0)) : nullptr;
    g_itemsShown = menu ? GetMenuItemCount(menu) : -1;
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
  if (g_popupProc) return CallWindowProcW(g_popupProc, window, message, wParam, lParam);
  if (message != WM_COMMAND || LOWORD(wParam) != IDC_ALLPROGRAMS)
    return DefWindowProcW(window, message, wParam, lParam);
  // As the popup's press does, with the menu of g_menuFolder.
  HMENU root = CreatePopupMenu();
  POINT anchor = {11, 430};  // just below the "All Programs" button's lower-left corner
  ClientToScreen(g_mainWnd, &anchor);
  BuildMenu(g_menuFolder, g_serialMenus, root);
  TrackPopupMenu(root, TPM_BOTTOMALIGN, anchor.x, anchor.y, 0, g_mainWnd, nullptr);
  DestroyProgramsMenu(root);
  return 0;
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

HWND MakeMenuOwner() {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = EndingMenusProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"KestrelonMenuOwner";
  RegisterClassW(&windowClass);
  RECT work = {};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  g_popupProc = nullptr;
  return g_mainWnd = CreateWindowExW(WS_EX_TOPMOST, windowClass.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0,
                                     work.bottom - POPUP_HEIGHT, POPUP_WIDTH, POPUP_HEIGHT, nullptr, nullptr,
                                     windowClass.hInstance, nullptr);
}

void EndMenusOf(HWND popup) {
  g_popupProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(popup, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EndingMenusProc)));
}

void BuildMenu(const std::wstring& folder, bool serial, HMENU menu) {
  // The shell's icon lookups want COM; the menu is tracked outside it.
  HRESULT com = CoInitialize(nullptr);
  if (serial) {
    BuildSerially(folder, menu);
  } else {
    BuildProgramsMenu(folder, L"*", menu);
  }
  if (SUCCEEDED(com)) CoUninitialize();
}

void BuildSerially(const std::wstring& folder, HMENU menu) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = found.cFileName, path = folder + L"\\" + name;
    if (name == L"." || name == L".." || name == L"desktop.ini" || name == L"Desktop.ini") continue;
    // Every entry takes a number, as a press numbers them; a folder's goes unused.
    if (++g_lastMenuId >= IDC_FIRST_FIXED_COMMAND && g_lastMenuId <= IDC_LAST_FIXED_COMMAND)
      g_lastMenuId = IDC_LAST_FIXED_COMMAND + 1;
    if (IsShortcutName(name.c_str())) StripShortcutExtension(&name[0]);
    HMENU submenu = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? CreatePopupMenu() : nullptr;
    if (submenu) {
      AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(submenu), name.c_str());
    } else {
      AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(g_lastMenuId), name.c_str());
      g_programEntries.push_back({g_lastMenuId, path});
    }
    HBITMAP icon = MakeMenuIconBitmap(path);
    if (!SetMenuItemBitmaps(menu, static_cast<UINT>(GetMenuItemCount(menu) - 1), MF_BYPOSITION, icon,
                            nullptr))
      DeleteObject(icon);
    if (submenu) BuildSerially(path, submenu);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

HWND ShowPanelPopup() {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_COOL_CLASSES};
  InitCommonControlsEx(&controls);
  g_hInstance = GetModuleHandleW(nullptr);
  g_linkBackBitmap = LoadBitmapW(g_hInstance, L"IDB_LINKBUTTONBACK");
  // A new process finds the taskbar a moment after the desktop's first process.
  bool taskbar = WaitFor(
      [] {
        HWND tray = FindWindowW(L"Shell_TrayWnd", L"");
        return tray && GetWindowRect(tray, &g_trayRect) && g_trayRect.top > 0;
      },
      10000);
  if (!g_linkBackBitmap || !taskbar || !RegisterMainClass()) return nullptr;
  CreateMainWindow();
  if (!g_mainWnd) return nullptr;
  wcsncpy_s(g_userName, ENV_BUFFER_CHARS, L"Kestrel", _TRUNCATE);
  InitLinkSlots();
  LoadUserPicture();
  WaitFor([] { return SetForegroundWindow(g_mainWnd) && GetForegroundWindow() == g_mainWnd; }, 2000);
  UpdateWindow(g_mainWnd);
  PumpFor(100);
  return g_mainWnd;
}

void CreateTreeHost() {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_TREEVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  g_hInstance = GetModuleHandleW(nullptr);
  g_mainWnd = CreateWindowExW(WS_EX_TOOLWINDOW, L"Static", L"", WS_POPUP | WS_VISIBLE, 0, 0, POPUP_WIDTH,
                              POPUP_HEIGHT, nullptr, nullptr, g_hInstance, nullptr);
  g_treeWnd = CreateWindowExW(
      0, WC_TREEVIEWW, L"", WS_CHILD | WS_VISIBLE | TVS_FULLROWSELECT | TVS_TRACKSELECT | TVS_DISABLEDRAGDROP,
      14, 13, 230, 375, g_mainWnd, nullptr, g_hInstance, nullptr);
  PumpFor(50);
}

void DestroyTreeHost() {
  HIMAGELIST images = TreeView_GetImageList(g_treeWnd, TVSIL_NORMAL);
  DestroyWindow(g_mainWnd);
  if (images) ImageList_Destroy(images);
}

bool RunOnThread(LPTHREAD_START_ROUTINE work, void* argument, DWORD timeoutMs) {
  HANDLE thread = CreateThread(nullptr, 0, work, argument, 0, nullptr);
  bool ended = thread && WaitFor([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, timeoutMs);
  if (thread && !ended) {
    // The thread reads argument: keep it alive until the thread is gone.
    TerminateThread(thread, 1);
    WaitForSingleObject(thread, 5000);
  }
  if (thread) CloseHandle(thread);
  return ended;
}

DWORD WINAPI LoadPinnedThread(void* folder) {
  LoadPinnedItems(*static_cast<const std::wstring*>(folder));
  return 0;
}

int main(int argc, char** argv) {
  const struct {
    const char* name;
    int (*run)();
  } parts[] = {{"startup", StartupBench},          {"programs_menu", ProgramsMenuBench},
               {"pinned_items", PinnedItemsBench}, {"toggle", SoakToggle},
               {"presses", SoakPresses},           {"hovers", SoakHovers},
               {"programs2000", SoakPrograms2000}, {"pinned2000", SoakPinned2000}};
  if (argc == 3 && !std::strcmp(argv[1], "bystander")) return Bystander(argv[2]);
  for (const auto& part : parts) {
    if (argc != 2 || std::strcmp(argv[1], part.name)) continue;
    g_part = part.name;
    return part.run();
  }
  std::fprintf(stderr,
               "usage: kestrelon_bench startup|programs_menu|pinned_items|toggle|presses|hovers|"
               "programs2000|pinned2000, or bystander LOG\n");
  return 2;
}
