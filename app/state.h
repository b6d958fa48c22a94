// Process-wide state shared by the subsystems. Each variable says who writes it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

constexpr int ENV_BUFFER_CHARS = 1024;  // fixed buffers for environment values and the account name

// Set once during start-up (app/startup.cpp), read by everyone afterwards.
extern HINSTANCE g_hInstance;
extern HWND g_mainWnd;  // the popup
extern HWND g_treeWnd;  // the pinned items tree
extern wchar_t g_homeDrive[ENV_BUFFER_CHARS];
extern wchar_t g_homePath[ENV_BUFFER_CHARS];
extern wchar_t g_userName[ENV_BUFFER_CHARS];
// True when "homedrive" or "homepath" did not fit its buffer; that buffer is then empty, and
// nothing may be built from it as if it were the user's home.
extern bool g_homeTooLong;
extern RECT g_trayRect;           // the taskbar's window rectangle, zero when not found
extern HBITMAP g_linkBackBitmap;  // hover highlight of the link column

// Drawing resources: made during static initialisation, shared by every paint, never deleted.
extern HPEN g_menuPen;
extern HPEN g_pictureFramePen;
extern HPEN g_grayTextPen;
extern HPEN g_lightPen;
extern HBRUSH g_menuBrush;
extern HBRUSH g_nullBrush;
extern HBRUSH g_grayTextBrush;  // a system colour brush: owned by the system

void CreateDrawingResources();

// One file item of a programs menu: the id it was appended with and the file it opens.
struct ProgramEntry {
  int commandId;
  std::wstring targetPath;
};

// Written and read by the programs menu on the main thread only.
extern std::vector<ProgramEntry> g_programEntries;
extern int g_lastMenuId;

// The pinned items' paths: element i is the path of the tree item whose parameter is i.
// The loader thread appends while the main thread reads, and the list is released at process
// exit while the loader may still run. So the program reaches it only through the calls
// below, which take a lock; once the release has run, appends are refused and reads find
// nothing.
extern std::vector<std::wstring> g_pinnedPaths;
bool AppendPinnedPath(const std::wstring& path);     // false once the list is released
bool CopyPinnedPath(int index, std::wstring* path);  // false for an index not in the list
int PinnedPathCount();
void ReleasePinnedPaths();
