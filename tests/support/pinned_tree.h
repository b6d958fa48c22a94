// A real tree control for the pinned items loader to fill, and ways to read it back.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>
#include <vector>

#include "support/wine_test.h"

namespace kt {

// A visible popup with a tree child of the program's styles, owned by this thread; sets
// g_mainWnd and g_treeWnd. DestroyTreeHost frees both windows and the tree's image list.
HWND CreateTreeHost();
void DestroyTreeHost(HWND host);

struct TreeItem {
  std::wstring text;
  int image;
  int selectedImage;
  LPARAM param;
};
std::vector<TreeItem> ReadTreeItems(HWND tree);

// Runs LoadPinnedItems on a thread of its own while this thread pumps the tree's messages;
// false when the pass did not end in time.
bool RunLoaderThread(const std::wstring& folder, DWORD timeoutMs);

// Every pinned path stored so far, in order.
std::vector<std::wstring> PinnedPaths();

// The image's pixels over a white background, drawn at 32 x 32 (BGRA).
std::vector<unsigned> ImagePixels(HIMAGELIST images, int index);
std::vector<unsigned> IconPixels(HICON icon);
// Pixels whose colour or alpha differ by more than a rounding step.
int DifferingPixels(const std::vector<unsigned>& a, const std::vector<unsigned>& b);

// --- the started program ---

// A home folder for kestrelon.exe: homedrive + homepath name it, StartItems lies in it.
struct TestHome {
  std::wstring root;        // e.g. C:\users\...\Temp\kt-home-12-1
  std::wstring startItems;  // root + \Documents\StartItems (no trailing backslash)
};
TestHome MakeTestHome();
// The environment that points kestrelon.exe at the home and the recorder at log.
std::map<std::wstring, std::wstring> HomeEnvironment(const TestHome& home, const std::wstring& log);

// Ends a started program however the test leaves its scope: one left running would keep the
// test run waiting for its output.
struct ProcessGuard {
  Process& process;
  ~ProcessGuard() { CloseProcess(process); }
};

// The tree of a started popup, waiting for it to be created.
HWND WaitForPinnedTree(HWND popup, DWORD timeoutMs);
// Tree messages that carry no pointer work across processes.
int TreeCount(HWND tree);
// Screen point of row (0-based) of a tree of another process, x pixels into the tree.
POINT TreeRowPoint(HWND tree, int row, int x);

}  // namespace kt
