#include "support/panel_popup.h"

#include <commctrl.h>

#include <cwchar>

#include "app/main_window.h"
#include "app/state.h"
#include "panel/link_column.h"
#include "panel/panel_paint.h"
#include "support/wine_test.h"

namespace kt {

namespace {

bool FindTaskbarRect() {
  return WaitFor(
      [] {
        HWND taskbar = FindWindowW(L"Shell_TrayWnd", L"");
        return taskbar && GetWindowRect(taskbar, &g_trayRect) && g_trayRect.top > 0;
      },
      10000);
}

}  // namespace

HWND ShowPanelPopup(const std::wstring& accountName) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_COOL_CLASSES};
  InitCommonControlsEx(&controls);
  g_hInstance = GetModuleHandleW(nullptr);
  g_linkBackBitmap = LoadBitmapW(g_hInstance, L"IDB_LINKBUTTONBACK");
  if (!g_linkBackBitmap || !FindTaskbarRect() || !RegisterMainClass()) return nullptr;
  CreateMainWindow();
  if (!g_mainWnd) return nullptr;
  wcsncpy_s(g_userName, ENV_BUFFER_CHARS, accountName.c_str(), _TRUNCATE);
  InitLinkSlots();
  LoadUserPicture();
  ActivateWindow(g_mainWnd, 2000);
  UpdateWindow(g_mainWnd);
  PumpFor(100);
  return g_mainWnd;
}

POINT PopupToScreen(int x, int y) {
  POINT point = {x, y};
  ClientToScreen(g_mainWnd, &point);
  return point;
}

COLORREF PopupPixel(int x, int y) {
  POINT point = PopupToScreen(x, y);
  return ScreenPixel(point.x, point.y);
}

COLORREF WindowPixel(int x, int y) {
  HDC window = GetDC(g_mainWnd);
  COLORREF colour = GetPixel(window, x, y);
  ReleaseDC(g_mainWnd, window);
  return colour;
}

bool WaitForPopupPixel(int x, int y, COLORREF colour, DWORD timeoutMs) {
  return WaitFor([&] { return PopupPixel(x, y) == colour; }, timeoutMs);
}

int PopupSnapshot::Count(const RECT& area, COLORREF colour) const {
  int count = 0;
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) count += At(x, y) == colour;
  }
  return count;
}

PopupSnapshot SnapshotPopup() {
  PopupSnapshot snapshot;
  RECT client;
  GetClientRect(g_mainWnd, &client);
  snapshot.width = client.right;
  snapshot.height = client.bottom;
  POINT origin = PopupToScreen(0, 0);

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = snapshot.width;
  info.bmiHeader.biHeight = -snapshot.height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, dib);
  BitBlt(memory, 0, 0, snapshot.width, snapshot.height, screen, origin.x, origin.y, SRCCOPY);
  GdiFlush();
  auto* quads = static_cast<const RGBQUAD*>(bits);
  snapshot.pixels.resize(static_cast<size_t>(snapshot.width) * snapshot.height);
  for (size_t i = 0; i < snapshot.pixels.size(); ++i) {
    snapshot.pixels[i] = RGB(quads[i].rgbRed, quads[i].rgbGreen, quads[i].rgbBlue);
  }
  SelectObject(memory, old);
  DeleteObject(dib);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return snapshot;
}

void HoverPopup(int x, int y) {
  POINT point = PopupToScreen(x, y);
  MoveCursor(point.x, point.y);
}

void WriteQuadrantBitmap(const std::wstring& path, int width, int height, const COLORREF quadrants[4]) {
  int stride = (width * 3 + 3) & ~3;
  std::string data(static_cast<size_t>(stride) * height, '\0');
  for (int row = 0; row < height; ++row) {
    int y = height - 1 - row;  // rows are stored bottom-up
    for (int x = 0; x < width; ++x) {
      COLORREF colour = quadrants[(y < height / 2 ? 0 : 2) + (x < width / 2 ? 0 : 1)];
      size_t at = static_cast<size_t>(row) * stride + x * 3;
      data[at] = static_cast<char>(GetBValue(colour));
      data[at + 1] = static_cast<char>(GetGValue(colour));
      data[at + 2] = static_cast<char>(GetRValue(colour));
    }
  }
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER header = {};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(file) + sizeof(header);
  file.bfSize = file.bfOffBits + static_cast<DWORD>(data.size());
  header.biSize = sizeof(header);
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biSizeImage = static_cast<DWORD>(data.size());
  std::string content(reinterpret_cast<const char*>(&file), sizeof(file));
  content.append(reinterpret_cast<const char*>(&header), sizeof(header));
  content += data;
  WriteTextFile(path, content);
}

std::wstring AccountPicturesDir() {
  CreateDirectoryW(L"C:\\ProgramData", nullptr);
  CreateDirectoryW(L"C:\\ProgramData\\Microsoft", nullptr);
  CreateDirectoryW(L"C:\\ProgramData\\Microsoft\\User Account Pictures", nullptr);
  return L"C:\\ProgramData\\Microsoft\\User Account Pictures";
}

bool OnWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

}  // namespace kt
