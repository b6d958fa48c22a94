// The shell helpers against the real shell32, comctl32 and gdi32.
#include <gtest/gtest.h>

#include <string>

#include "app/shell_helpers.h"
#include "app/state.h"
#include "support/wine_test.h"

namespace {

std::wstring Stripped(const wchar_t* name) {
  wchar_t buffer[1024];
  wcscpy_s(buffer, name);
  StripShortcutExtension(buffer);
  return buffer;
}

TEST(ShellHelpers, ShortcutNamesAreRecognisedByExactCaseAnywhere) {
  EXPECT_EQ(1, IsShortcutName(L"Mail.lnk"));
  EXPECT_EQ(1, IsShortcutName(L"MAIL.LNK"));
  EXPECT_EQ(0, IsShortcutName(L"Mail.Lnk"));
  EXPECT_EQ(1, IsShortcutName(L"notes.lnk.txt"));
  EXPECT_EQ(1, IsShortcutName(L".lnk"));
  EXPECT_EQ(0, IsShortcutName(L"lnk"));
  EXPECT_EQ(0, IsShortcutName(L""));
  EXPECT_EQ(0, IsShortcutName(nullptr));
  EXPECT_EQ(0, IsShortcutName(L"Site.url"));
}

TEST(ShellHelpers, StripDropsTheLastFourCharactersOfLongerNames) {
  EXPECT_EQ(L"Mail", Stripped(L"Mail.lnk"));
  EXPECT_EQ(L"", Stripped(L".lnk"));
  EXPECT_EQ(L"abc", Stripped(L"abc"));
  EXPECT_EQ(L"notes.lnk", Stripped(L"notes.lnk.txt"));
  StripShortcutExtension(nullptr);  // must not crash
}

}  // namespace

namespace {

LOGFONTW FontOf(HFONT font) {
  LOGFONTW description = {};
  GetObjectW(font, sizeof(description), &description);
  return description;
}

TEST(ShellHelpers, UiFontsFollowTheNonClientMetrics) {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0));
  struct Case {
    int kind;
    const LOGFONTW& expected;
  } cases[] = {{0, metrics.lfMenuFont},    {1, metrics.lfCaptionFont}, {2, metrics.lfStatusFont},
               {3, metrics.lfMessageFont}, {7, metrics.lfMenuFont},    {-1, metrics.lfMenuFont}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    HFONT font = CreateUiFont(c.kind);
    ASSERT_NE(nullptr, font);
    LOGFONTW made = FontOf(font);
    EXPECT_STREQ(c.expected.lfFaceName, made.lfFaceName);
    EXPECT_EQ(c.expected.lfHeight, made.lfHeight);
    EXPECT_EQ(c.expected.lfWeight, made.lfWeight);
    DeleteObject(font);
  }
  HFONT first = CreateUiFont(0);
  HFONT second = CreateUiFont(0);
  EXPECT_NE(first, second) << "every call makes a font of its own";
  DeleteObject(first);
  DeleteObject(second);
}

class ShellIcons : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    g_mainWnd = window_;
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    notepad_ = std::wstring(windows) + L"\\notepad.exe";
  }
  void TearDown() override {
    DestroyWindow(window_);
    g_mainWnd = nullptr;
  }
  HWND window_ = nullptr;
  std::wstring notepad_;
};

COLORREF BitmapPixel(HBITMAP bitmap, int x, int y) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  COLORREF colour = GetPixel(dc, x, y);
  SelectObject(dc, old);
  DeleteDC(dc);
  return colour;
}

TEST_F(ShellIcons, MenuIconBitmapIsTheSmallIconOverTheMenuColour) {
  COLORREF menu = GetSysColor(COLOR_MENU);
  HBITMAP plain = MakeMenuIconBitmap(L"C:\\no such folder\\nothing.xyz-unknown");
  ASSERT_NE(nullptr, plain);
  BITMAP info = {};
  GetObjectW(plain, sizeof(info), &info);
  EXPECT_EQ(16, info.bmWidth);
  EXPECT_EQ(16, info.bmHeight);
  EXPECT_EQ(menu, BitmapPixel(plain, 0, 0));
  EXPECT_EQ(menu, BitmapPixel(plain, 15, 15));
  DeleteObject(plain);

  HBITMAP icon = MakeMenuIconBitmap(notepad_.c_str());
  ASSERT_NE(nullptr, icon);
  GetObjectW(icon, sizeof(info), &info);
  EXPECT_EQ(16, info.bmWidth);
  EXPECT_EQ(16, info.bmHeight);
  int iconPixels = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) iconPixels += BitmapPixel(icon, x, y) != menu;
  EXPECT_GT(iconPixels, 20) << "the icon is drawn over the square";
  EXPECT_LT(iconPixels, 256) << "the menu colour shows through the icon's transparent pixels";
  DeleteObject(icon);
}

TEST_F(ShellIcons, LargeIconIsANewSystemSizedIcon) {
  HICON icon = GetLargeIconForPath(notepad_.c_str());
  ASSERT_NE(nullptr, icon);
  ICONINFO info = {};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP mask = {};
  GetObjectW(info.hbmMask, sizeof(mask), &mask);
  EXPECT_EQ(GetSystemMetrics(SM_CXICON), mask.bmWidth);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  EXPECT_TRUE(DestroyIcon(icon)) << "the caller owns the icon";
}

TEST(ShellHelpers, LaunchTargetOpensPathsAndShortcutsRelativeToTheCurrentFolder) {
  std::wstring dir = kt::MakeTempDir(L"launch");
  std::wstring log = kt::NewRecorderLog(dir);
  SetEnvironmentVariableW(L"KESTRELON_RECORDER_LOG", log.c_str());
  ASSERT_TRUE(kt::MakeShortcut(dir + L"\\Computer.lnk", kt::RecorderExe(), L"from-shortcut"));

  LaunchTarget(kt::RecorderExe().c_str());
  ASSERT_TRUE(kt::WaitForLaunches(log, 1, 10000));

  wchar_t previous[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, previous);
  SetCurrentDirectoryW(dir.c_str());
  LaunchTarget(L".\\Computer.lnk");
  SetCurrentDirectoryW(previous);
  ASSERT_TRUE(kt::WaitForLaunches(log, 2, 10000));

  std::vector<kt::Launch> launches = kt::ReadLaunches(log);
  EXPECT_EQ(kt::RecorderExe(), launches[0].exe);
  EXPECT_NE(std::wstring::npos, launches[1].commandLine.find(L"from-shortcut"));
  LaunchTarget(L"");  // handed to the shell unchanged; starts nothing and must not crash
  kt::RemoveTree(dir);
}

}  // namespace
