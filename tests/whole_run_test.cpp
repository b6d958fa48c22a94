// kestrelon.exe started as a user starts it, on a profile of its own: what only a whole run
// shows, compared with what Windows itself draws for the same things.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <functional>

#include "harness.h"

namespace {

// The pixels of an area, rows from the top, as a DIB holds them (0x00rrggbb).
struct Pixels {
  int width, height;
  std::vector<DWORD> bits;
  DWORD at(int x, int y) const { return bits[size_t(y) * size_t(width) + size_t(x)]; }
  COLORREF colour(int x, int y) const {
    return RGB(GetBValue(at(x, y)), GetGValue(at(x, y)), GetRValue(at(x, y)));
  }
};

Pixels Draw(int width, int height, COLORREF background, const std::function<void(HDC)>& paint) {
  Pixels pixels = {width, height, std::vector<DWORD>(size_t(width) * size_t(height))};
  BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB}};
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  HBRUSH brush = CreateSolidBrush(background);
  RECT all = {0, 0, width, height};
  FillRect(dc, &all, brush);
  paint(dc);
  GdiFlush();
  memcpy(pixels.bits.data(), bits, pixels.bits.size() * 4);
  SelectObject(dc, old);
  for (HGDIOBJ object : {HGDIOBJ(brush), HGDIOBJ(bitmap)}) DeleteObject(object);
  DeleteDC(dc);
  return pixels;
}

Pixels Screen(const RECT& area) {  // as it is on the screen now
  return Draw(area.right - area.left, area.bottom - area.top, 0, [&](HDC dc) {
    HDC screen = GetDC(nullptr);
    BitBlt(dc, 0, 0, area.right - area.left, area.bottom - area.top, screen, area.left, area.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
  });
}

// Cut to the smallest box that holds every pixel unlike the one at the top left.
Pixels Ink(const Pixels& drawn) {
  int left = drawn.width, top = drawn.height, right = 0, bottom = 0;
  for (int y = 0; y < drawn.height; ++y)
    for (int x = 0; x < drawn.width; ++x)
      if (drawn.at(x, y) != drawn.at(0, 0))
        left = std::min(left, x), top = std::min(top, y), right = std::max(right, x + 1),
        bottom = std::max(bottom, y + 1);
  Pixels ink = {std::max(0, right - left), std::max(0, bottom - top), {}};
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) ink.bits.push_back(drawn.at(x, y));
  return ink;
}

constexpr DWORD kSeeThrough = 0xFF000000;  // a pixel of a part that shows whatever lies under it

// An icon as Windows draws it: only the pixels it covers, whatever the background.
Pixels Covered(int width, int height, const std::function<void(HDC)>& paint) {
  Pixels onBlack = Draw(width, height, RGB(0, 0, 0), paint),
         onWhite = Draw(width, height, RGB(255, 255, 255), paint);
  for (size_t i = 0; i < onBlack.bits.size(); ++i)
    if (onBlack.bits[i] != onWhite.bits[i]) onBlack.bits[i] = kSeeThrough;
  return onBlack;
}

bool Matches(const Pixels& screen, int left, int top, const Pixels& part) {
  for (int y = 0; y < part.height; ++y)
    for (int x = 0; x < part.width; ++x)
      if (part.at(x, y) != kSeeThrough && screen.at(left + x, top + y) != part.at(x, y)) return false;
  return true;
}

// Whether part stands somewhere inside area of screen, whole.
bool Shows(const Pixels& screen, RECT area, const Pixels& part) {
  if (part.width == 0) return false;
  for (int top = area.top; top + part.height <= area.bottom; ++top)
    for (int left = area.left; left + part.width <= area.right; ++left)
      if (Matches(screen, left, top, part)) return true;
  return false;
}

HFONT MenuFont() {
  NONCLIENTMETRICSW metrics = {sizeof(metrics)};
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  return CreateFontIndirectW(&metrics.lfMenuFont);
}

// Text as Windows draws it in the menu font: in colour over background, in a box of the size given.
Pixels Written(const std::wstring& text, COLORREF colour, COLORREF background, int width, int height,
               UINT format) {
  return Draw(width, height, background, [&](HDC dc) {
    HFONT font = MenuFont();
    HGDIOBJ old = SelectObject(dc, font);
    SetTextColor(dc, colour);
    SetBkMode(dc, TRANSPARENT);
    RECT box = {0, 0, width, height};
    DrawTextW(dc, text.c_str(), -1, &box, format);
    DeleteObject(SelectObject(dc, old));
  });
}

// A path's large icon from the shell, over the tree's background.
Pixels ShellIcon(const std::wstring& path) {
  SHFILEINFOW info = {};
  auto list = HIMAGELIST(SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_SYSICONINDEX));
  return Draw(32, 32, GetSysColor(COLOR_WINDOW),
              [&](HDC dc) { ImageList_Draw(list, info.iIcon, dc, 0, 0, ILD_TRANSPARENT); });
}

const wchar_t* Seen(bool shown) { return shown ? L"as Windows draws it" : L"missing or otherwise"; }

// What the popup shows, a line per thing a user looks at.
std::wstring LookAt(HWND popup, const std::wstring& account, const std::wstring& pinned) {
  RECT place;
  GetWindowRect(popup, &place);
  const Pixels screen = Screen(place);
  std::wstring seen;
  // clang-format off
  struct Caption { std::wstring text; int top, bottom; };
  const Caption captions[] = {{account, 78, 102}, {L"Documents", 113, 138}, {L"Pictures", 150, 174},
      {L"Music", 186, 210}, {L"Downloads", 222, 246}, {L"Computer", 258, 282}, {L"Network", 293, 318},
      {L"Control Panel", 330, 354}, {L"Devices and Printers", 366, 390}, {L"Run...", 402, 426}};
  // clang-format on
  for (const Caption& caption :
       captions) {  // white on the column's grey, shortened as Windows shortens paths
    Pixels drawn = Written(caption.text, RGB(255, 255, 255), GetSysColor(COLOR_GRAYTEXT), 130,
                           caption.bottom - caption.top, DT_PATH_ELLIPSIS);
    seen += Format(L"caption \"%.16ls\": %ls\n", caption.text.c_str(),
                   Seen(Matches(screen, 268, caption.top, drawn)));
  }
  const RECT tree = {14, 13, 244, 388};
  for (const wchar_t* name : {L"Readme.txt", L"Tools", L"button.ico"}) {
    Pixels text =
        Ink(Written(name, GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_WINDOW), 200, 30, DT_SINGLELINE));
    seen += Format(L"pinned %ls: icon %ls, text %ls\n", name,
                   Seen(Shows(screen, tree, ShellIcon(pinned + name))), Seen(Shows(screen, tree, text)));
  }
  Pixels arrow = Ink(Covered(16, 16, [](HDC dc) {
    HANDLE icon = LoadImageW(GetModuleHandleW(nullptr), L"IDI_RIGHTARROW", IMAGE_ICON, 16, 16, 0);
    DrawIconEx(dc, 0, 0, HICON(icon), 16, 16, 0, nullptr, DI_NORMAL);
    DestroyIcon(HICON(icon));
  }));
  seen += Format(L"arrow on \"All Programs\": %ls\n", Seen(Shows(screen, {10, 397, 248, 425}, arrow)));
  Pixels picture = Draw(48, 48, 0, [](HDC dc) {
    HANDLE file =
        LoadImageW(nullptr, Tree(L"demo-account.bmp").c_str(), IMAGE_BITMAP, 48, 48, LR_LOADFROMFILE);
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, file);
    BitBlt(dc, 0, 0, 48, 48, source, 0, 0, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
    DeleteObject(file);
  });
  const std::vector<NamedColour> frame = {{RGB(125, 125, 125), "grey border"},
                                          {GetSysColor(COLOR_GRADIENTACTIVECAPTION), "frame fill"}};
  seen += Format(L"account picture: %ls, in a %hs, on the %hs\n", Seen(Matches(screen, 304, 12, picture)),
                 Named(screen.colour(303, 36), frame).c_str(), Named(screen.colour(302, 36), frame).c_str());
  return seen;
}

}  // namespace

// A run whose start-up leaves out a step (links that never answer the mouse, an account name
// never read, a picture never loaded, a pinned list never filled), or whose screen shows less
// than it holds (a list filled but never painted again, a button without its arrow, captions
// cut or shortened otherwise); a second start that shows a popup of its own or leaves the first
// open; a run that does not end with exit code 0; a direct import of a library only the popup
// needs, which every second start would load before it even looks for the open popup.
TEST(EndToEnd, WholeRun) {
  const std::wstring account = TEST_ACCOUNT, pinned = Tree(L"run") + L"\\Documents\\StartItems\\";
  SetProfile(L"run", L"");
  GivePicture(account);
  SetCursorPos(1000, 10);
  PROCESS_INFORMATION first = Start(Tree(L"launch"));
  HWND popup = ShownWindow(L"Kestrelon", 10000);
  ASSERT_NE(nullptr, popup);
  std::wstring expected, seen;
  for (const wchar_t* caption :
       {account.c_str(), L"Documents", L"Pictures", L"Music", L"Downloads", L"Computer", L"Network",
        L"Control Panel", L"Devices and Printers", L"Run..."})
    expected += Format(L"caption \"%.16ls\": as Windows draws it\n", caption);
  for (const wchar_t* name : {L"Readme.txt", L"Tools", L"button.ico"})
    expected += Format(L"pinned %ls: icon as Windows draws it, text as Windows draws it\n", name);
  expected +=
      L"arrow on \"All Programs\": as Windows draws it\n"
      L"account picture: as Windows draws it, in a grey border, on the frame fill\n";
  WaitFor([&] { return (seen = LookAt(popup, account, pinned)) == expected; }, 10000);
  EXPECT_EQ(expected, seen);

  // Under the mouse, "Documents" (106 to 137 down the popup) gets its highlight.
  RECT place;
  GetWindowRect(popup, &place);
  SetCursorPos(place.left + 300, place.top + 120);
  INPUT move = {INPUT_MOUSE};
  move.mi = {((place.left + 300) * 65536 + 32768) / 1024, ((place.top + 120) * 65536 + 32768) / 768, 0,
             MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE};
  SendInput(1, &move, sizeof(move));
  const std::vector<NamedColour> column = {{RGB(0x9C, 0xB4, 0xCE), "highlight blue"},
                                           {GetSysColor(COLOR_GRAYTEXT), "grey"}};
  std::string under;
  WaitFor([&] { return (under = Named(Screen(place).colour(390, 110), column)) == "highlight blue"; }, 5000);
  EXPECT_EQ("highlight blue", under) << "at 390, 110 with the mouse over \"Documents\"";

  EXPECT_EQ(0, ExitCode(Start(Beside(L"")))) << "a second start";
  EXPECT_EQ(0, ExitCode(first)) << "the first run, closed by the second";
  auto base = reinterpret_cast<BYTE*>(
      LoadLibraryExW(Beside(L"kestrelon.exe").c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
  ASSERT_NE(nullptr, base);
  std::string dlls;
  for (auto dll = Imports(base); dll->Name; ++dll)
    dlls += reinterpret_cast<char*>(base + dll->Name) + std::string(" ");
  EXPECT_EQ("ADVAPI32.dll GDI32.dll KERNEL32.dll msvcrt.dll USER32.dll ", dlls);
}
