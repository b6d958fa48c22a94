#include "app/state.h"

#include <cstdlib>

HINSTANCE g_hInstance;
HWND g_mainWnd;
HWND g_treeWnd;
wchar_t g_homeDrive[ENV_BUFFER_CHARS];
wchar_t g_homePath[ENV_BUFFER_CHARS];
wchar_t g_userName[ENV_BUFFER_CHARS];
bool g_homeTooLong;
RECT g_trayRect;
HBITMAP g_linkBackBitmap;

HPEN g_menuPen;
HPEN g_pictureFramePen;
HPEN g_grayTextPen;
HPEN g_lightPen;
HBRUSH g_menuBrush;
HBRUSH g_nullBrush;
HBRUSH g_grayTextBrush;

void CreateDrawingResources() {
  g_menuPen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_MENU));
  g_pictureFramePen = CreatePen(PS_SOLID, 1, RGB(125, 125, 125));
  g_grayTextPen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_GRAYTEXT));
  g_lightPen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DLIGHT));
  g_menuBrush = CreateSolidBrush(GetSysColor(COLOR_MENU));
  g_nullBrush = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  g_grayTextBrush = GetSysColorBrush(COLOR_GRAYTEXT);
}

namespace {

// Static initialisation, in this order: drawing resources, the pinned paths (whose release
// is registered right after it), the programs list. Exit runs the handlers in reverse, so
// the programs list goes first and the pinned paths second.
const bool g_drawingResourcesMade = (CreateDrawingResources(), true);

SRWLOCK g_pinnedLock = SRWLOCK_INIT;  // no destructor: stays usable while the process exits
bool g_pinnedReleased;

}  // namespace

std::vector<std::wstring> g_pinnedPaths;
namespace {
const bool g_pinnedReleaseRegistered = (std::atexit(ReleasePinnedPaths) == 0);
}  // namespace

std::vector<ProgramEntry> g_programEntries;
int g_lastMenuId;

bool AppendPinnedPath(const std::wstring& path) {
  AcquireSRWLockExclusive(&g_pinnedLock);
  bool appended = !g_pinnedReleased;
  if (appended) g_pinnedPaths.push_back(path);
  ReleaseSRWLockExclusive(&g_pinnedLock);
  return appended;
}

bool CopyPinnedPath(int index, std::wstring* path) {
  AcquireSRWLockShared(&g_pinnedLock);
  bool found = index >= 0 && static_cast<size_t>(index) < g_pinnedPaths.size();
  if (found) *path = g_pinnedPaths[static_cast<size_t>(index)];
  ReleaseSRWLockShared(&g_pinnedLock);
  return found;
}

int PinnedPathCount() {
  AcquireSRWLockShared(&g_pinnedLock);
  int count = static_cast<int>(g_pinnedPaths.size());
  ReleaseSRWLockShared(&g_pinnedLock);
  return count;
}

// Runs at process exit, before the vector's own destructor: frees the paths and makes sure a
// loader thread that is still alive never touches the vector again.
void ReleasePinnedPaths() {
  AcquireSRWLockExclusive(&g_pinnedLock);
  g_pinnedReleased = true;
  std::vector<std::wstring>().swap(g_pinnedPaths);
  ReleaseSRWLockExclusive(&g_pinnedLock);
}
