// A real tree control for the pinned items loader to fill.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace kt {

// A visible popup with a tree child of the program's styles, owned by this thread; sets
// g_mainWnd and g_treeWnd. DestroyTreeHost frees both windows and the tree's image list.
HWND CreateTreeHost();
void DestroyTreeHost(HWND host);

// Runs LoadPinnedItems on a thread of its own while this thread pumps the tree's messages;
// false when the pass did not end in time.
bool RunLoaderThread(const std::wstring& folder, DWORD timeoutMs);

}  // namespace kt
