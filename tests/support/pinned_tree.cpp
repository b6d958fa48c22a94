#include "support/pinned_tree.h"

#include <cstdlib>

#include "app/state.h"
#include "pinned/pinned_items.h"
#include "support/wine_test.h"

namespace kt {

HWND CreateTreeHost() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_TREEVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  g_hInstance = instance;
  g_mainWnd = CreateWindowExW(WS_EX_TOOLWINDOW, L"Static", L"", WS_POPUP | WS_VISIBLE, 0, 0, 410, 485,
                              nullptr, nullptr, instance, nullptr);
  g_treeWnd = CreateWindowExW(
      0, WC_TREEVIEWW, L"", WS_CHILD | WS_VISIBLE | TVS_FULLROWSELECT | TVS_TRACKSELECT | TVS_DISABLEDRAGDROP,
      14, 13, 230, 375, g_mainWnd, nullptr, instance, nullptr);
  PumpFor(50);
  return g_mainWnd;
}

void DestroyTreeHost(HWND host) {
  HWND tree = FindWindowExW(host, nullptr, WC_TREEVIEWW, nullptr);
  HIMAGELIST images = tree ? TreeView_GetImageList(tree, TVSIL_NORMAL) : nullptr;
  DestroyWindow(host);
  if (images) ImageList_Destroy(images);
}

std::vector<TreeItem> ReadTreeItems(HWND tree) {
  std::vector<TreeItem> items;
  for (HTREEITEM item = TreeView_GetRoot(tree); item; item = TreeView_GetNextSibling(tree, item)) {
    wchar_t text[1024] = {};
    TVITEMW attributes = {};
    attributes.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    attributes.hItem = item;
    attributes.pszText = text;
    attributes.cchTextMax = 1024;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&attributes));
    items.push_back({text, attributes.iImage, attributes.iSelectedImage, attributes.lParam});
  }
  return items;
}

namespace {

DWORD WINAPI LoaderThread(void* folder) {
  LoadPinnedItems(static_cast<const std::wstring*>(folder)->c_str());
  return 0;
}

std::vector<unsigned> DrawnPixels(void (*draw)(HDC, const void*), const void* what) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = 32;
  info.bmiHeader.biHeight = -32;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT all = {0, 0, 32, 32};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  draw(dc, what);
  GdiFlush();
  std::vector<unsigned> pixels(static_cast<const unsigned*>(bits),
                               static_cast<const unsigned*>(bits) + 32 * 32);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return pixels;
}

struct ImageRef {
  HIMAGELIST images;
  int index;
};

}  // namespace

bool RunLoaderThread(const std::wstring& folder, DWORD timeoutMs) {
  HANDLE thread = CreateThread(nullptr, 0, LoaderThread, const_cast<std::wstring*>(&folder), 0, nullptr);
  if (!thread) return false;
  bool ended = WaitFor([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, timeoutMs);
  if (!ended) {
    // The thread reads folder: keep it alive until the thread is gone.
    TerminateThread(thread, 1);
    WaitForSingleObject(thread, 5000);
  }
  CloseHandle(thread);
  return ended;
}

std::vector<std::wstring> PinnedPaths() {
  std::vector<std::wstring> paths;
  std::wstring path;
  for (int i = 0; CopyPinnedPath(i, &path); ++i) paths.push_back(path);
  return paths;
}

std::vector<unsigned> ImagePixels(HIMAGELIST images, int index) {
  ImageRef image = {images, index};
  return DrawnPixels(
      [](HDC dc, const void* what) {
        auto ref = static_cast<const ImageRef*>(what);
        ImageList_Draw(ref->images, ref->index, dc, 0, 0, ILD_NORMAL);
      },
      &image);
}

std::vector<unsigned> IconPixels(HICON icon) {
  return DrawnPixels(
      [](HDC dc, const void* what) {
        DrawIconEx(dc, 0, 0, static_cast<HICON>(const_cast<void*>(what)), 32, 32, 0, nullptr, DI_NORMAL);
      },
      icon);
}

int DifferingPixels(const std::vector<unsigned>& a, const std::vector<unsigned>& b) {
  if (a.size() != b.size()) return static_cast<int>(a.size() + b.size());
  int differing = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    for (int shift = 0; shift < 32; shift += 8) {
      int channelA = static_cast<int>((a[i] >> shift) & 0xFF);
      int channelB = static_cast<int>((b[i] >> shift) & 0xFF);
      if (std::abs(channelA - channelB) > 2) {
        ++differing;
        break;
      }
    }
  }
  return differing;
}

TestHome MakeTestHome() {
  TestHome home;
  home.root = MakeTempDir(L"home");
  CreateDirectoryW((home.root + L"\\Documents").c_str(), nullptr);
  home.startItems = home.root + L"\\Documents\\StartItems";
  CreateDirectoryW(home.startItems.c_str(), nullptr);
  return home;
}

std::map<std::wstring, std::wstring> HomeEnvironment(const TestHome& home, const std::wstring& log) {
  return {{L"homedrive", home.root.substr(0, 2)},
          {L"homepath", home.root.substr(2)},
          {L"KESTRELON_RECORDER_LOG", log}};
}

HWND WaitForPinnedTree(HWND popup, DWORD timeoutMs) {
  HWND tree = nullptr;
  WaitFor([&] { return (tree = FindWindowExW(popup, nullptr, WC_TREEVIEWW, nullptr)) != nullptr; },
          timeoutMs);
  return tree;
}

int TreeCount(HWND tree) { return static_cast<int>(SendMessageW(tree, TVM_GETCOUNT, 0, 0)); }

POINT TreeRowPoint(HWND tree, int row, int x) {
  int height = static_cast<int>(SendMessageW(tree, TVM_GETITEMHEIGHT, 0, 0));
  POINT point = {x, row * height + height / 2};
  ClientToScreen(tree, &point);
  return point;
}

}  // namespace kt
