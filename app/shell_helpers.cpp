#include "app/shell_helpers.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <cstddef>
#include <cwchar>
#include <utility>

#include "app/state.h"

void LaunchTarget(const wchar_t* target) {
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  SHELLEXECUTEINFOW request = {};
  request.cbSize = sizeof(request);
  // The run ends right after this call: without NOASYNC a DDE or asynchronous verb activation
  // could still be under way and be lost. (Wine completes DDE synchronously either way.)
  request.fMask = SEE_MASK_NOASYNC;
  request.lpFile = target;  // the default verb, no parameters, no directory
  request.nShow = SW_SHOW;
  ShellExecuteExW(&request);
  if (SUCCEEDED(com)) CoUninitialize();
}

int IsShortcutName(const wchar_t* name) {
  if (!name || std::wcslen(name) <= 3) return 0;
  if (std::wcsstr(name, L".LNK")) return 1;
  return std::wcsstr(name, L".lnk") ? 1 : 0;
}

void StripShortcutExtension(wchar_t* name) {
  if (!name) return;
  size_t length = std::wcslen(name);
  if (length <= 3) return;
  name[length - 4] = L'\0';
}

namespace {

// Where the shell keeps a path's icon: a system image list (of large or of small icons) and the
// icon's index in it (no list when the shell cannot resolve the path).
struct ShellIcon {
  HIMAGELIST list;
  int index;
};

// flags: SHGFI_SYSICONINDEX, with SHGFI_SMALLICON for the list of small icons.
ShellIcon LookUpIcon(const wchar_t* path, UINT flags) {
  SHFILEINFOW info = {};
  auto list = reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(path, 0, &info, sizeof(info), flags));
  return {list, info.iIcon};
}

HICON TakeIcon(const ShellIcon& icon) {  // a new icon, the caller's
  return icon.list ? ImageList_GetIcon(icon.list, icon.index, ILD_NORMAL) : nullptr;
}

// The menu-coloured square with the icon over it, drawn into the bitmap selected into dc,
// which holds g_menuPen and g_menuBrush.
void DrawMenuIcon(HDC dc, const ShellIcon& icon) {
  Rectangle(dc, 0, 0, 16, 16);
  if (icon.list) ImageList_Draw(icon.list, icon.index, dc, 0, 0, ILD_TRANSPARENT);
}

// The lookups of one batch, shared by the threads that make them.
struct LookupBatch {
  const std::vector<std::wstring>* paths;
  std::vector<ShellIcon>* icons;  // one per path, each written by one thread
  UINT flags;                     // of LookUpIcon
  LONG next;                      // the next path nobody has taken yet
};

void RunLookups(LookupBatch* batch) {
  const LONG count = static_cast<LONG>(batch->paths->size());
  for (LONG i = InterlockedIncrement(&batch->next) - 1; i < count; i = InterlockedIncrement(&batch->next) - 1)
    (*batch->icons)[static_cast<size_t>(i)] =
        LookUpIcon((*batch->paths)[static_cast<size_t>(i)].c_str(), batch->flags);
}

DWORD WINAPI LookupThread(void* batch) {
  // The shell's lookups want COM on the thread that makes them.
  HRESULT com = CoInitialize(nullptr);
  RunLookups(static_cast<LookupBatch*>(batch));
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}

// Each lookup waits mostly on the file system and the shell, so a few threads overlap them.
constexpr size_t kMaxLookupWorkers = 3;
constexpr size_t kLookupsPerWorker = 16;  // fewer than this do not pay for a thread

// Looks up every path's icon on this thread and a few workers, and returns once all are done
// and the workers have ended.
std::vector<ShellIcon> LookUpIcons(const std::vector<std::wstring>& paths, UINT flags) {
  std::vector<ShellIcon> icons(paths.size(), ShellIcon{nullptr, 0});
  LookupBatch batch = {&paths, &icons, flags, 0};
  HANDLE workers[kMaxLookupWorkers] = {};
  DWORD started = 0;
  size_t wanted = paths.empty() ? 0 : (paths.size() - 1) / kLookupsPerWorker;
  for (size_t i = 0; i < wanted && i < kMaxLookupWorkers; ++i) {
    HANDLE worker = CreateThread(nullptr, 0, LookupThread, &batch, 0, nullptr);  // closed below
    if (worker) workers[started++] = worker;
  }
  RunLookups(&batch);
  for (DWORD i = 0; i < started; ++i) {
    // Sent messages and COM calls into this thread's apartment still get through while it
    // waits: a lookup may send to a window of this thread, or call an icon handler that COM
    // hosts here (one registered without a threading model lives in the main apartment).
    DWORD signalled;
    if (FAILED(CoWaitForMultipleHandles(0, INFINITE, 1, &workers[i], &signalled)))
      WaitForSingleObject(workers[i], INFINITE);  // the worker uses this frame's batch
    CloseHandle(workers[i]);
  }
  return icons;
}

}  // namespace

HICON GetLargeIconForPath(const wchar_t* path) { return TakeIcon(LookUpIcon(path, SHGFI_SYSICONINDEX)); }

std::vector<HICON> GetLargeIconsForPaths(const std::vector<std::wstring>& paths) {
  // Every lookup ends before the first icon is taken from the list the lookups add to.
  std::vector<ShellIcon> found = LookUpIcons(paths, SHGFI_SYSICONINDEX);
  std::vector<HICON> icons;
  for (const ShellIcon& icon : found) icons.push_back(TakeIcon(icon));
  return icons;
}

HBITMAP MakeMenuIconBitmap(const wchar_t* path) {
  ShellIcon icon = LookUpIcon(path, SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
  HDC windowDc = GetDC(g_mainWnd);
  HDC memoryDc = CreateCompatibleDC(windowDc);
  // Compatible with the window, not the memory DC, so the bitmap has the screen's colours.
  HBITMAP bitmap = CreateCompatibleBitmap(windowDc, 16, 16);
  HGDIOBJ oldBitmap = SelectObject(memoryDc, bitmap);
  HGDIOBJ oldPen = SelectObject(memoryDc, g_menuPen);
  HGDIOBJ oldBrush = SelectObject(memoryDc, g_menuBrush);
  DrawMenuIcon(memoryDc, icon);
  SelectObject(memoryDc, oldBrush);
  SelectObject(memoryDc, oldPen);
  SelectObject(memoryDc, oldBitmap);
  ReleaseDC(g_mainWnd, windowDc);
  DeleteDC(memoryDc);
  return bitmap;
}

HFONT CreateUiFont(int kind) {
  // The size without iPaddedBorderWidth is accepted by every Windows version.
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0);
  switch (kind) {
    case UI_FONT_CAPTION:
      return CreateFontIndirectW(&metrics.lfCaptionFont);
    case UI_FONT_STATUS:
      return CreateFontIndirectW(&metrics.lfStatusFont);
    case UI_FONT_MESSAGE:
      return CreateFontIndirectW(&metrics.lfMessageFont);
    default:
      return CreateFontIndirectW(&metrics.lfMenuFont);
  }
}

void ApplyUiFont(HWND control) {
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(CreateUiFont(UI_FONT_MENU)), TRUE);
}

std::vector<HBITMAP> MakeMenuIconBitmaps(const std::vector<std::wstring>& paths) {
  // Every lookup ends before the first drawing: drawing while other threads still add icons to
  // the shared image list drew blank icons under Wine.
  std::vector<ShellIcon> icons = LookUpIcons(paths, SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
  std::vector<HBITMAP> bitmaps(paths.size(), nullptr);
  HDC windowDc = GetDC(g_mainWnd);
  HDC drawDc = CreateCompatibleDC(windowDc);    // holds the bitmap being made
  HDC sourceDc = CreateCompatibleDC(windowDc);  // holds an earlier bitmap of the same icon
  HGDIOBJ oldDrawBitmap = GetCurrentObject(drawDc, OBJ_BITMAP);
  HGDIOBJ oldSourceBitmap = GetCurrentObject(sourceDc, OBJ_BITMAP);
  HGDIOBJ oldPen = SelectObject(drawDc, g_menuPen);
  HGDIOBJ oldBrush = SelectObject(drawDc, g_menuBrush);
  // Each icon is drawn once; the bitmaps of its later paths are copies of the first one's bits.
  std::vector<std::pair<ShellIcon, HBITMAP>> drawn;
  HBITMAP inSource = nullptr;
  for (size_t i = 0; i < paths.size(); ++i) {
    // Compatible with the window, not a memory DC, so the bitmap has the screen's colours.
    HBITMAP bitmap = CreateCompatibleBitmap(windowDc, 16, 16);  // the caller's
    if (!bitmap) continue;
    SelectObject(drawDc, bitmap);
    const ShellIcon& icon = icons[i];
    auto same = std::find_if(drawn.begin(), drawn.end(), [&](const std::pair<ShellIcon, HBITMAP>& earlier) {
      return earlier.first.list == icon.list && (!icon.list || earlier.first.index == icon.index);
    });
    if (same == drawn.end()) {
      DrawMenuIcon(drawDc, icon);
      drawn.push_back({icon, bitmap});
    } else {
      if (inSource != same->second) SelectObject(sourceDc, same->second);
      inSource = same->second;
      BitBlt(drawDc, 0, 0, 16, 16, sourceDc, 0, 0, SRCCOPY);
    }
    bitmaps[i] = bitmap;
  }
  // No bitmap may stay selected once it is handed out.
  SelectObject(drawDc, oldBrush);
  SelectObject(drawDc, oldPen);
  SelectObject(drawDc, oldDrawBitmap);
  SelectObject(sourceDc, oldSourceBitmap);
  DeleteDC(sourceDc);
  DeleteDC(drawDc);
  ReleaseDC(g_mainWnd, windowDc);
  return bitmaps;
}
