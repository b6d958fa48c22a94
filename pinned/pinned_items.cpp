// The pinned items tree. A loader thread lists the StartItems folder into g_pinnedPaths
// (app/state.h, locked) and into the tree, which it reaches only through SendMessageW, so the
// tree itself changes only on the main thread. A click opens the item's path and ends the run.
#include "pinned/pinned_items.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <strsafe.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cwchar>
#include <string>
#include <vector>

#include "app/shell_helpers.h"

wchar_t g_pinnedDir[ENV_BUFFER_CHARS];

namespace {

constexpr wchar_t kReplacementIconLibrary[] = L"%windir%\\system32\\shell32.dll";
constexpr int kReplacementIconNumber = 46;
constexpr wchar_t kReplacementIconTrigger[] = L"Windows Update";

// A path cut to fit its buffer names some other file or folder, so a path that does not fit
// is refused: the buffer is left empty and the result is false.
bool FormatPath(wchar_t* buffer, const wchar_t* format, const wchar_t* first, const wchar_t* second) {
  if (FAILED(StringCchPrintfW(buffer, ENV_BUFFER_CHARS, format, first, second))) {
    buffer[0] = L'\0';
    return false;
  }
  return true;
}

DWORD WINAPI PinnedItemsThread(void* folder) {
  // Shell icon handlers expect COM on the thread that asks for icons.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  LoadPinnedItems(static_cast<const wchar_t*>(folder));
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}

// Gives the tree a new image list of large icons. The tree does not destroy its image lists:
// the new one lives until the process ends, and one it replaces (only a repeated pass does
// that) is destroyed here.
HIMAGELIST GiveTreeNewImageList() {
  HIMAGELIST images = ImageList_Create(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON),
                                       ILC_COLOR32 | ILC_MASK, 1, 1024);
  auto previous = reinterpret_cast<HIMAGELIST>(
      SendMessageW(g_treeWnd, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images)));
  if (previous && previous != images) ImageList_Destroy(previous);
  return images;
}

HICON LoadReplacementIcon() {
  wchar_t library[MAX_PATH];
  DWORD needed = ExpandEnvironmentStringsW(kReplacementIconLibrary, library, MAX_PATH);
  if (needed == 0 || needed > MAX_PATH) return nullptr;
  HICON icon = ExtractIconW(g_hInstance, library, kReplacementIconNumber);
  // 1 means "not a file with icons": not a handle.
  return reinterpret_cast<UINT_PTR>(icon) > 1 ? icon : nullptr;
}

// One entry of the folder on its way into the tree.
struct PinnedEntry {
  std::wstring path;
  std::wstring text;
  HICON icon;
};

bool HasReplacementIcon(const PinnedEntry& entry) {
  return std::wcsstr(entry.text.c_str(), kReplacementIconTrigger) != nullptr;
}

// The icons of a run of entries: the shell's lookups overlap on several threads, all before any
// is taken.
void LoadEntryIcons(PinnedEntry* first, PinnedEntry* last) {
  std::vector<std::wstring> shellPaths;
  for (PinnedEntry* entry = first; entry != last; ++entry)
    if (!HasReplacementIcon(*entry)) shellPaths.push_back(entry->path);
  std::vector<HICON> shellIcons = GetLargeIconsForPaths(shellPaths);
  size_t next = 0;
  for (PinnedEntry* entry = first; entry != last; ++entry)
    entry->icon = HasReplacementIcon(*entry) ? LoadReplacementIcon() : shellIcons[next++];
}

// A run of consecutive entries, [first, last).
struct EntryRun {
  PinnedEntry* first;
  PinnedEntry* last;
};

DWORD WINAPI EntryIconsThread(void* run) {
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  LoadEntryIcons(static_cast<EntryRun*>(run)->first, static_cast<EntryRun*>(run)->last);
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}

// Starts looking up a run's icons on a thread of its own. Without a thread they are looked up
// here, before returning, and the result is null.
HANDLE StartLoadingIcons(EntryRun* run) {
  HANDLE thread = CreateThread(nullptr, 0, EntryIconsThread, run, 0, nullptr);
  if (!thread) LoadEntryIcons(run->first, run->last);
  return thread;
}

void FinishLoadingIcons(HANDLE thread) {
  if (!thread) return;
  // COM calls into this apartment still get through while it waits (see LookUpIcons).
  DWORD signalled;
  if (FAILED(CoWaitForMultipleHandles(0, INFINITE, 1, &thread, &signalled)))
    WaitForSingleObject(thread, INFINITE);  // the thread writes the entries
  CloseHandle(thread);
}

void DestroyEntryIcons(PinnedEntry* first, PinnedEntry* last) {
  for (; first != last; ++first) DestroyIcon(first->icon);
}

// Appends an entry's icon to the list and gives its index. Without an icon the item gets
// I_IMAGENONE: -1 would be I_IMAGECALLBACK, which asks the popup for an index it does not have.
int AddEntryIcon(HIMAGELIST images, HICON icon) {
  if (!icon) return I_IMAGENONE;
  int index = ImageList_ReplaceIcon(images, -1, icon);
  DestroyIcon(icon);  // the list holds its own copy
  return index == -1 ? I_IMAGENONE : index;
}

void InsertTreeItem(wchar_t* text, int image, LPARAM param) {
  TVINSERTSTRUCTW insert = {};
  insert.hParent = nullptr;
  insert.hInsertAfter = TVI_ROOT;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM | TVIF_SELECTEDIMAGE;
  insert.item.pszText = text;
  insert.item.iImage = image;
  insert.item.iSelectedImage = image;
  insert.item.lParam = param;
  SendMessageW(g_treeWnd, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert));
}

bool IsListedName(const wchar_t* name) {
  return std::wcscmp(name, L".") != 0 && std::wcscmp(name, L"..") != 0 &&
         std::wcscmp(name, L"desktop.ini") != 0;
}

// The entry of a found name, its path and its item text; false when either does not fit.
bool ReadEntry(const wchar_t* folder, const wchar_t* name, PinnedEntry* entry) {
  wchar_t path[ENV_BUFFER_CHARS];
  wchar_t text[ENV_BUFFER_CHARS];
  if (!FormatPath(path, L"%s%s", folder, name) || FAILED(StringCchCopyW(text, ENV_BUFFER_CHARS, name)))
    return false;
  if (IsShortcutName(text)) StripShortcutExtension(text);
  *entry = {path, text, nullptr};
  return true;
}

// Lists a run in order: each path goes to the list before its item goes to the tree, so every
// item names a path that exists. False once the list is released: the run of the program is
// over, and the icons not listed are destroyed.
bool ListEntries(HIMAGELIST images, PinnedEntry* first, PinnedEntry* last) {
  for (; first != last; ++first) {
    int position = PinnedPathCount();  // after the paths of an earlier pass, so each item names its own
    if (!AppendPinnedPath(first->path)) {
      DestroyEntryIcons(first, last);
      return false;
    }
    InsertTreeItem(&first->text[0], AddEntryIcon(images, first->icon), position);
  }
  return true;
}

// Adding an icon to the list costs about half as much as looking it up, so the entries go in runs,
// each run's icons looked up while the run before it is listed. The first run is short: the
// first items are in the tree soon.
constexpr ptrdiff_t kFirstRunLength = 8;
constexpr ptrdiff_t kRunLength = 128;

EntryRun RunFrom(PinnedEntry* first, PinnedEntry* end, ptrdiff_t length) {
  return {first, first + std::min(length, end - first)};
}

// Lists every entry with its icon. False once the list is released.
bool ListAllEntries(HIMAGELIST images, std::vector<PinnedEntry>& entries) {
  PinnedEntry* end = entries.data() + entries.size();
  EntryRun next = RunFrom(entries.data(), end, kFirstRunLength);
  LoadEntryIcons(next.first, next.last);
  while (next.first != end) {
    EntryRun listed = next;
    next = RunFrom(listed.last, end, kRunLength);
    HANDLE loading = next.first != end ? StartLoadingIcons(&next) : nullptr;
    bool open = ListEntries(images, listed.first, listed.last);
    FinishLoadingIcons(loading);
    if (!open) {
      DestroyEntryIcons(next.first, next.last);
      return false;
    }
  }
  return true;
}

}  // namespace

void StartPinnedItemsLoader() {
  if (g_homeTooLong || !FormatPath(g_pinnedDir, L"%s%s\\Documents\\StartItems\\", g_homeDrive, g_homePath)) {
    g_pinnedDir[0] = L'\0';  // no folder: the tree stays empty
  }
  HANDLE thread = CreateThread(nullptr, 0, PinnedItemsThread, g_pinnedDir, 0, nullptr);
  if (thread) CloseHandle(thread);  // nothing waits for it; it ends on its own or with the process
}

void LoadPinnedItems(const wchar_t* folder) {
  HIMAGELIST images = GiveTreeNewImageList();
  // An empty folder path names no folder (a path that did not fit); "*.*" alone would list
  // the current directory.
  wchar_t pattern[ENV_BUFFER_CHARS];
  if (!folder || !folder[0] || !FormatPath(pattern, L"%s%s", folder, L"*.*")) return;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return;

  SendMessageW(g_treeWnd, WM_SETREDRAW, FALSE, 0);
  std::vector<PinnedEntry> entries;
  do {
    PinnedEntry entry = {};
    if (IsListedName(found.cFileName) && ReadEntry(folder, found.cFileName, &entry)) entries.push_back(entry);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  // Once the run is over the main thread no longer answers: leave the tree alone.
  if (!ListAllEntries(images, entries)) return;

  SendMessageW(g_treeWnd, WM_SETREDRAW, TRUE, 0);
  SendMessageW(g_treeWnd, TVM_SELECTITEM, TVGN_CARET, 0);
}

void OpenClickedPinnedItem() {
  TVHITTESTINFO hit = {};
  GetCursorPos(&hit.pt);
  ScreenToClient(g_treeWnd, &hit.pt);
  auto item =
      reinterpret_cast<HTREEITEM>(SendMessageW(g_treeWnd, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (!item) return;

  TVITEMW attributes = {};
  attributes.mask = TVIF_HANDLE | TVIF_PARAM;
  attributes.hItem = item;
  if (!SendMessageW(g_treeWnd, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&attributes))) return;
  std::wstring path;
  if (attributes.lParam < 0 || attributes.lParam > INT_MAX) return;
  if (!CopyPinnedPath(static_cast<int>(attributes.lParam), &path)) return;

  LaunchTarget(path.c_str());
  ShowWindow(g_mainWnd, SW_HIDE);
  PostQuitMessage(0);
}
