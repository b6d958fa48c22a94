// The "All Programs" menu. Every press walks the programs folder afresh into a new menu tree,
// tracks it above the button and frees the tree and its item bitmaps once tracking has ended
// (a chosen command is posted by then and carries only its id).
//
// Command ids. Each folder and each file that enters a menu takes the number after
// g_lastMenuId; a folder's number goes unused. WM_COMMAND carries ids in 16 bits and gives
// IDC_FIRST_FIXED_COMMAND..IDC_LAST_FIXED_COMMAND (5000-5005) fixed meanings, so numbering
// skips that band and after MAX_MENU_COMMAND_ID starts over at 1: the menus that showed the
// low numbers are gone by then. When it starts over, the entries of finished presses are
// dropped, so an id names one entry: the item of the latest menu that showed it. One press
// hands out at most as many numbers as the space holds; what a folder tree has beyond that is
// left out, so no two items of one menu share an id.
#include "programs/programs_menu.h"

#include <objbase.h>

#include <cstddef>
#include <cwchar>
#include <vector>

#include "app/ids.h"
#include "app/shell_helpers.h"
#include "app/state.h"

namespace {

constexpr wchar_t kAllFiles[] = L"*";

constexpr int kFixedCommandCount = IDC_LAST_FIXED_COMMAND - IDC_FIRST_FIXED_COMMAND + 1;
constexpr int kMenuNumbersPerPress = MAX_MENU_COMMAND_ID - kFixedCommandCount;
static_assert(IDC_FIRST_FIXED_COMMAND > 1 && IDC_LAST_FIXED_COMMAND < MAX_MENU_COMMAND_ID,
              "menu numbering runs on both sides of the fixed command band");

// The longest search string FindFirstFileW takes without the long-path prefix. Folder links
// can make paths grow without end; the walk goes no deeper than this.
constexpr size_t kMaxSearchChars = MAX_PATH - 1;

// Tells a folder apart from every other, whatever path reached it.
struct FolderIdentity {
  DWORD volume;
  DWORD indexHigh;
  DWORD indexLow;
};

// An item whose icon is made once the walk is done.
struct PendingIcon {
  HMENU menu;
  UINT position;
};

// The state of one press's walk.
struct MenuWalk {
  size_t firstEntry;                       // this press's first entry in g_programEntries
  int numbersLeft;                         // numbers this press may still hand out
  std::vector<FolderIdentity> ancestors;   // the folders being walked, outermost first
  std::vector<PendingIcon> pendingIcons;   // the items still without an icon
  std::vector<std::wstring> pendingPaths;  // and the path of each
};

int NextMenuNumber(int last) {
  if (last < 0 || last >= MAX_MENU_COMMAND_ID) return 1;
  int next = last + 1;
  return next >= IDC_FIRST_FIXED_COMMAND && next <= IDC_LAST_FIXED_COMMAND ? IDC_LAST_FIXED_COMMAND + 1
                                                                           : next;
}

bool TakeMenuNumber(MenuWalk& walk) {
  if (walk.numbersLeft == 0) return false;
  --walk.numbersLeft;
  int previous = g_lastMenuId;
  g_lastMenuId = NextMenuNumber(previous);
  if (g_lastMenuId <= previous) {
    // Started over: earlier presses' menus are gone, their entries would only shadow new ids.
    g_programEntries.erase(g_programEntries.begin(),
                           g_programEntries.begin() + static_cast<std::ptrdiff_t>(walk.firstEntry));
    walk.firstEntry = 0;
  }
  return true;
}

bool ReadFolderIdentity(const std::wstring& folder, FolderIdentity* identity) {
  HANDLE handle = CreateFileW(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info = {};
  bool read = GetFileInformationByHandle(handle, &info) != FALSE;
  CloseHandle(handle);  // opened for this one question
  *identity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  return read;
}

bool IsBeingWalked(const MenuWalk& walk, const FolderIdentity& folder) {
  for (const FolderIdentity& ancestor : walk.ancestors) {
    if (ancestor.volume == folder.volume && ancestor.indexHigh == folder.indexHigh &&
        ancestor.indexLow == folder.indexLow)
      return true;
  }
  return false;
}

bool IsLeftOut(const wchar_t* name) {
  return !wcscmp(name, L".") || !wcscmp(name, L"..") || !wcscmp(name, L"desktop.ini") ||
         !wcscmp(name, L"Desktop.ini");
}

std::wstring MenuLabel(const wchar_t* name) {
  std::wstring label = name;
  if (IsShortcutName(label.c_str())) {
    StripShortcutExtension(&label[0]);
    label.resize(std::wcslen(label.c_str()));
  }
  return label;
}

// Hands an item its icon bitmap by position: a search by command would also look into
// submenus and could match there. The bitmap belongs to the menu from here on and is deleted
// by DestroyProgramsMenu.
void SetItemIcon(HMENU menu, UINT position, HBITMAP icon) {
  if (!SetMenuItemBitmaps(menu, position, MF_BYPOSITION, icon, nullptr)) DeleteObject(icon);
}

// Gives the menu's last item the icon of path once the walk is done.
void SetLastItemIcon(HMENU menu, const std::wstring& path, MenuWalk& walk) {
  walk.pendingIcons.push_back({menu, static_cast<UINT>(GetMenuItemCount(menu) - 1)});
  walk.pendingPaths.push_back(path);
}

void WalkFolder(const std::wstring& folder, const wchar_t* pattern, HMENU menu, MenuWalk& walk);

void AddFolderItem(const std::wstring& path, const std::wstring& label, HMENU menu, MenuWalk& walk) {
  HMENU submenu = CreatePopupMenu();  // destroyed with menu, its parent
  if (!AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(submenu), label.c_str())) {
    DestroyMenu(submenu);
    return;
  }
  SetLastItemIcon(menu, path, walk);
  WalkFolder(path, kAllFiles, submenu, walk);
}

void AddFileItem(const std::wstring& path, const std::wstring& label, HMENU menu, MenuWalk& walk) {
  int id = g_lastMenuId;
  if (AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(id), label.c_str()))
    SetLastItemIcon(menu, path, walk);
  g_programEntries.push_back({id, path});
}

// False once the press has no numbers left: the walk then ends everywhere.
bool AddEntry(const std::wstring& folder, const WIN32_FIND_DATAW& found, HMENU menu, MenuWalk& walk) {
  if (IsLeftOut(found.cFileName)) return true;
  if (!TakeMenuNumber(walk)) return false;
  std::wstring path = folder + L"\\" + found.cFileName;
  std::wstring label = MenuLabel(found.cFileName);
  if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    AddFolderItem(path, label, menu, walk);
  } else {
    AddFileItem(path, label, menu, walk);
  }
  return true;
}

void WalkFolder(const std::wstring& folder, const wchar_t* pattern, HMENU menu, MenuWalk& walk) {
  std::wstring searchString = folder + L"\\" + pattern;
  if (searchString.size() > kMaxSearchChars) return;
  // A folder link back to a folder being walked would repeat the tree without end.
  FolderIdentity identity;
  bool identified = ReadFolderIdentity(folder, &identity);
  if (identified && IsBeingWalked(walk, identity)) return;
  if (identified) walk.ancestors.push_back(identity);

  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(searchString.c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    // The folder ends at ERROR_NO_MORE_FILES or at the first other error, keeping what it has.
    while (AddEntry(folder, found, menu, walk) && FindNextFileW(search, &found)) {
    }
    FindClose(search);
  }
  if (identified) walk.ancestors.pop_back();
}

void DeleteItemBitmaps(HMENU menu) {
  int count = GetMenuItemCount(menu);
  for (int position = 0; position < count; ++position) {
    MENUITEMINFOW item = {};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_SUBMENU | MIIM_CHECKMARKS;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &item)) continue;
    if (item.hSubMenu) DeleteItemBitmaps(item.hSubMenu);
    if (item.hbmpUnchecked) DeleteObject(item.hbmpUnchecked);
  }
}

}  // namespace

void ShowProgramsMenu() {
  HMENU root = CreatePopupMenu();  // destroyed below, once tracking has ended
  POINT anchor = PROGRAMS_MENU_ANCHOR;
  ClientToScreen(g_mainWnd, &anchor);
  // The shell's icon lookups want COM; the menu is tracked outside it.
  HRESULT com = CoInitialize(nullptr);
  BuildProgramsMenu(PROGRAMS_FOLDER, kAllFiles, root);
  if (SUCCEEDED(com)) CoUninitialize();
  // Without TPM_RETURNCMD a choice is posted as WM_COMMAND before this returns.
  TrackPopupMenu(root, TPM_BOTTOMALIGN, anchor.x, anchor.y, 0, g_mainWnd, nullptr);
  DestroyProgramsMenu(root);
}

void BuildProgramsMenu(const std::wstring& folder, const wchar_t* pattern, HMENU menu) {
  // The walk first, then all icons together: their shell lookups overlap on several threads.
  MenuWalk walk = {g_programEntries.size(), kMenuNumbersPerPress, {}, {}, {}};
  WalkFolder(folder, pattern ? pattern : kAllFiles, menu, walk);
  std::vector<HBITMAP> icons = MakeMenuIconBitmaps(walk.pendingPaths);
  for (size_t i = 0; i < icons.size(); ++i)
    SetItemIcon(walk.pendingIcons[i].menu, walk.pendingIcons[i].position, icons[i]);
}

void DestroyProgramsMenu(HMENU menu) {
  DeleteItemBitmaps(menu);
  DestroyMenu(menu);  // and every submenu in it
}

std::wstring FindProgramPath(int id) {
  for (const ProgramEntry& entry : g_programEntries) {
    if (entry.commandId == id) return entry.targetPath;
  }
  return std::wstring();
}
