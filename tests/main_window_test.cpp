// The popup's class, layout and message table, driven in-process with messages.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/ids.h"
#include "app/state.h"
#include "support/popup_fixture.h"
#include "support/wine_test.h"

namespace {

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = L"";
  GetClassNameW(window, name, 256);
  return name;
}

std::wstring TextOf(HWND window) {
  wchar_t text[256] = L"";
  GetWindowTextW(window, text, 256);
  return text;
}

RECT RectInPopup(HWND control) {
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, g_mainWnd, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

LOGFONTW MenuFont() {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0);
  return metrics.lfMenuFont;
}

// ShellExecuteW calls made by the code under test, instead of real launches.
std::vector<std::wstring> g_shellTargets;
HINSTANCE WINAPI RecordShellExecute(HWND, LPCWSTR, LPCWSTR file, LPCWSTR, LPCWSTR, INT) {
  g_shellTargets.push_back(file ? file : L"(null)");
  return reinterpret_cast<HINSTANCE>(33);
}

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(nullptr, kt::CreateTestPopup());
    kt::TakeQuitMessage();
  }
  void TearDown() override { kt::DestroyTestPopup(); }

  bool Quits(UINT message, WPARAM wParam, LPARAM lParam) {
    SendMessageW(g_mainWnd, message, wParam, lParam);
    return kt::TakeQuitMessage();
  }
};

TEST_F(MainWindow, ClassAndPopupAreAsDesigned) {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), L"Kestrelon", &windowClass));
  EXPECT_EQ(static_cast<UINT>(CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS), windowClass.style);
  EXPECT_EQ(0, windowClass.cbClsExtra);
  EXPECT_EQ(0, windowClass.cbWndExtra);
  EXPECT_NE(nullptr, windowClass.hIcon);
  EXPECT_EQ(GetSysColorBrush(COLOR_GRAYTEXT), windowClass.hbrBackground);

  EXPECT_EQ(L"Kestrelon", ClassOf(g_mainWnd));
  EXPECT_EQ(L"", TextOf(g_mainWnd));
  EXPECT_EQ(0x96010000u, static_cast<DWORD>(GetWindowLongPtrW(g_mainWnd, GWL_STYLE)));
  EXPECT_EQ(0x02000088u, static_cast<DWORD>(GetWindowLongPtrW(g_mainWnd, GWL_EXSTYLE)));

  HWND taskbar = FindWindowW(L"Shell_TrayWnd", L"");
  RECT tray;
  ASSERT_TRUE(GetWindowRect(taskbar, &tray)) << "the test desktop has a taskbar";
  RECT popup;
  GetWindowRect(g_mainWnd, &popup);
  EXPECT_EQ(0, popup.left);
  EXPECT_EQ(tray.top, popup.bottom);
  EXPECT_EQ(410, popup.right - popup.left);
  EXPECT_EQ(485, popup.bottom - popup.top);
}

TEST_F(MainWindow, ControlsMatchTheLayoutAndUseTheMenuFont) {
  struct Expected {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
    RECT rect;
  };
  const Expected controls[] = {
      {5000, L"Button", L"Shut down...", 0x50000000, {265, 443, 350, 465}},
      {9000, L"SysTreeView32", L"", 0x50001210, {14, 13, 244, 388}},
      {5005, L"Button", L"     All Programs", 0x50000100, {10, 397, 248, 425}},
  };
  LOGFONTW menuFont = MenuFont();
  for (const Expected& expected : controls) {
    SCOPED_TRACE(expected.id);
    HWND control = GetDlgItem(g_mainWnd, expected.id);
    ASSERT_NE(nullptr, control);
    EXPECT_EQ(expected.className, ClassOf(control));
    EXPECT_EQ(expected.text, TextOf(control));
    EXPECT_EQ(expected.style, static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE)));
    EXPECT_EQ(0u, static_cast<DWORD>(GetWindowLongPtrW(control, GWL_EXSTYLE)));
    EXPECT_EQ(g_mainWnd, GetParent(control));
    RECT rect = RectInPopup(control);
    EXPECT_EQ(expected.rect.left, rect.left);
    EXPECT_EQ(expected.rect.top, rect.top);
    EXPECT_EQ(expected.rect.right, rect.right);
    EXPECT_EQ(expected.rect.bottom, rect.bottom);

    auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    ASSERT_NE(nullptr, font);
    LOGFONTW used = {};
    ASSERT_EQ(static_cast<int>(sizeof(used)), GetObjectW(font, sizeof(used), &used));
    EXPECT_STREQ(menuFont.lfFaceName, used.lfFaceName);
    EXPECT_EQ(menuFont.lfHeight, used.lfHeight);
    EXPECT_EQ(menuFont.lfWeight, used.lfWeight);
  }
  EXPECT_EQ(GetDlgItem(g_mainWnd, 9000), g_treeWnd);
  HWND allPrograms = GetDlgItem(g_mainWnd, 5005);
  EXPECT_NE(0, SendMessageW(allPrograms, BM_GETIMAGE, IMAGE_ICON, 0)) << "the arrow icon is set";
}

TEST_F(MainWindow, EscapeDestroyAndCloseMenuEndTheRunOtherKeysDoNot) {
  EXPECT_FALSE(Quits(WM_KEYDOWN, 'A', 0));
  EXPECT_FALSE(Quits(WM_KEYDOWN, VK_RETURN, 0));
  EXPECT_TRUE(Quits(WM_KEYDOWN, VK_ESCAPE, 0));

  EXPECT_TRUE(IsWindowVisible(g_mainWnd));
  EXPECT_TRUE(Quits(UM_CLOSEMENU, 0, 0));
  EXPECT_FALSE(IsWindowVisible(g_mainWnd)) << "hidden before the run ends";

  EXPECT_FALSE(Quits(WM_LBUTTONUP, 0, MAKELPARAM(5, 5))) << "no link under the mouse";

  DestroyWindow(g_mainWnd);
  g_mainWnd = nullptr;
  EXPECT_TRUE(kt::TakeQuitMessage()) << "WM_DESTROY ends the run";
}

TEST_F(MainWindow, DeactivationEndsTheRunASecondLaterEvenIfReactivated) {
  SendMessageW(g_mainWnd, WM_ACTIVATEAPP, TRUE, 0);
  EXPECT_FALSE(kt::PumpUntilQuit(1500)) << "activation arms nothing";

  DWORD start = GetTickCount();
  SendMessageW(g_mainWnd, WM_ACTIVATEAPP, FALSE, 0);
  SendMessageW(g_mainWnd, WM_ACTIVATEAPP, TRUE, 0);  // does not disarm
  EXPECT_TRUE(kt::PumpUntilQuit(5000));
  EXPECT_GE(GetTickCount() - start, 900u) << "not before the second has passed";

  // Only the low 32 bits of wParam count.
  SendMessageW(g_mainWnd, WM_ACTIVATEAPP, static_cast<WPARAM>(0x100000000ull), 0);
  EXPECT_TRUE(kt::PumpUntilQuit(5000));
}

TEST_F(MainWindow, AnyTimerKillsTheDismissTimerAndEndsTheRun) {
  SetTimer(g_mainWnd, IDT_DISMISS, 200, nullptr);
  EXPECT_TRUE(Quits(WM_TIMER, 1234, 0));
  // The dismiss timer was killed with it: no further WM_TIMER arrives.
  bool timerCame = kt::WaitFor(
      [] {
        MSG message;
        return PeekMessageW(&message, g_mainWnd, WM_TIMER, WM_TIMER, PM_REMOVE) != 0;
      },
      800);
  EXPECT_FALSE(timerCame);
}

TEST_F(MainWindow, CommandRoutingSeparatesControlAndMenuPaths) {
  void* original =
      kt::PatchImport("shell32.dll", "ShellExecuteW", reinterpret_cast<void*>(RecordShellExecute));
  ASSERT_NE(nullptr, original);
  g_shellTargets.clear();

  // From a control (code or lParam set): ids outside the fixed band are ignored.
  EXPECT_FALSE(Quits(WM_COMMAND, MAKEWPARAM(77, BN_DBLCLK), 0));
  EXPECT_FALSE(Quits(WM_COMMAND, MAKEWPARAM(77, 0), reinterpret_cast<LPARAM>(g_mainWnd)));
  EXPECT_FALSE(Quits(WM_COMMAND, MAKEWPARAM(9000, 0), reinterpret_cast<LPARAM>(g_treeWnd)));
  EXPECT_TRUE(g_shellTargets.empty());

  // From a menu (code 0, no lParam): an id no programs menu handed out opens an empty
  // target and still ends the run.
  EXPECT_TRUE(Quits(WM_COMMAND, MAKEWPARAM(65000, 0), 0));
  ASSERT_EQ(1u, g_shellTargets.size());
  EXPECT_EQ(L"", g_shellTargets[0]);

  // Notifications other than NM_CLICK do nothing.
  NMHDR header = {g_treeWnd, IDC_PINNEDTREE, static_cast<UINT>(NM_RETURN)};
  EXPECT_FALSE(Quits(WM_NOTIFY, IDC_PINNEDTREE, reinterpret_cast<LPARAM>(&header)));
  EXPECT_EQ(1u, g_shellTargets.size());

  kt::PatchImport("shell32.dll", "ShellExecuteW", original);
}

}  // namespace
