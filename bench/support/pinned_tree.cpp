#include "support/pinned_tree.h"

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

namespace {

DWORD WINAPI LoaderThread(void* folder) {
  LoadPinnedItems(static_cast<const std::wstring*>(folder)->c_str());
  return 0;
}

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

}  // namespace kt
