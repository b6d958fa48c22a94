// Failures the program must live through: no taskbar to stand on, and a link whose shortcut
// file is missing.
#include <gtest/gtest.h>

#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "app/startup.h"
#include "app/state.h"
#include "support/panel_colours.h"
#include "support/popup_fixture.h"
#include "support/soak_process.h"
#include "support/wine_test.h"

namespace {

// --- no taskbar: FindWindowW finds no "Shell_TrayWnd", MessageBoxW is recorded ---

struct Box {
  std::wstring text, caption;
  UINT type;
  bool popupMadeYet;
};
std::vector<Box> g_boxes;
decltype(&FindWindowW) g_realFindWindowW;

HWND WINAPI FindWindowWithoutTaskbar(LPCWSTR className, LPCWSTR windowName) {
  if (className && !IS_INTRESOURCE(className) && !wcscmp(className, L"Shell_TrayWnd")) return nullptr;
  return g_realFindWindowW(className, windowName);
}

int WINAPI RecordMessageBox(HWND, LPCWSTR text, LPCWSTR caption, UINT type) {
  g_boxes.push_back({text ? text : L"(null)", caption ? caption : L"(null)", type, g_mainWnd != nullptr});
  return IDOK;
}

// The popup as the running message loop sees it, then the end of the run.
struct SeenInLoop {
  bool seen = false;
  RECT rect = {};
  bool visible = false;
};
SeenInLoop g_seenInLoop;

void CALLBACK LookAndEndRun(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  g_seenInLoop.seen = GetWindowRect(g_mainWnd, &g_seenInLoop.rect) != FALSE;
  g_seenInLoop.visible = IsWindowVisible(g_mainWnd) != FALSE;
  PostQuitMessage(0);
}

TEST(FaultInjection, NoTaskbarWarnsFirstThenPutsThePopupAboveTheScreen) {
  WNDCLASSEXW existing = {};
  existing.cbSize = sizeof(existing);
  if (GetClassInfoExW(GetModuleHandleW(nullptr), L"Kestrelon", &existing))
    GTEST_SKIP() << "the class is registered by an earlier test of this process: run this test alone";
  g_realFindWindowW = reinterpret_cast<decltype(&FindWindowW)>(
      kt::PatchImport("user32.dll", "FindWindowW", reinterpret_cast<void*>(FindWindowWithoutTaskbar)));
  void* realMessageBox =
      kt::PatchImport("user32.dll", "MessageBoxW", reinterpret_cast<void*>(RecordMessageBox));
  ASSERT_NE(nullptr, g_realFindWindowW);
  ASSERT_NE(nullptr, realMessageBox);

  // The whole start-up and message loop of a run; the timer fires once the loop runs.
  SetTimer(nullptr, 0, 300, LookAndEndRun);
  int exitCode = RunKestrelon(GetModuleHandleW(nullptr));

  kt::PatchImport("user32.dll", "FindWindowW", reinterpret_cast<void*>(g_realFindWindowW));
  kt::PatchImport("user32.dll", "MessageBoxW", realMessageBox);

  EXPECT_EQ(0, exitCode);
  ASSERT_EQ(1u, g_boxes.size());
  EXPECT_EQ(L"Could not GetWindowRect for Shell_TrayWnd", g_boxes[0].text);
  EXPECT_EQ(L"Error", g_boxes[0].caption);
  EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING), g_boxes[0].type);
  EXPECT_FALSE(g_boxes[0].popupMadeYet) << "the warning comes before the popup";
  EXPECT_EQ(0, g_trayRect.left);
  EXPECT_EQ(0, g_trayRect.top);
  EXPECT_EQ(0, g_trayRect.right);
  EXPECT_EQ(0, g_trayRect.bottom);

  ASSERT_TRUE(g_seenInLoop.seen) << "no popup while the run was going";
  EXPECT_EQ(0, g_seenInLoop.rect.left);
  EXPECT_EQ(-485, g_seenInLoop.rect.top);
  EXPECT_EQ(410, g_seenInLoop.rect.right);
  EXPECT_EQ(0, g_seenInLoop.rect.bottom);
  EXPECT_TRUE(g_seenInLoop.visible);
  kt::DestroyTestPopup();
}

// --- a link whose shortcut file is not in the working directory ---

TEST(FaultInjection, ComputerWithoutItsShortcutEndsTheRunWithZeroAndNoDialog) {
  kt::CloseStrayPopups();
  kt::MoveCursor(900, 100);
  std::wstring dir = kt::MakeTempDir(L"no-links");
  ASSERT_FALSE(dir.empty());
  ASSERT_FALSE(kt::FileExists(dir + L"\\Computer.lnk"));
  int dialogsBefore = kt::VisibleDialogs();

  kt::Process popup = kt::StartProcess(kt::KestrelonExe(), {}, dir);
  ASSERT_NE(nullptr, popup.handle);
  HWND window = kt::WaitForWindow(popup.id, L"Kestrelon", 10000);
  ASSERT_NE(nullptr, window);
  RECT frame;
  GetWindowRect(window, &frame);

  // Hover first: the Computer slot lights up (where the colours are known).
  kt::MoveCursor(frame.left + 320, frame.top + 266);
  if (kt::HasWineDefaultScheme()) {
    EXPECT_TRUE(kt::WaitFor(
        [&] { return kt::ScreenPixel(frame.left + 262, frame.top + 254) == kt::HIGHLIGHT_UPPER; }, 5000))
        << "Computer is not highlighted under the cursor";
  }
  kt::ClickAt(frame.left + 320, frame.top + 266);
  EXPECT_EQ(0, kt::WaitExit(popup, 10000)) << "the run ends with 0";
  EXPECT_FALSE(kt::WaitFor([&] { return kt::VisibleDialogs() > dialogsBefore; }, 1000))
      << "a dialog box is left on the desktop";
  EXPECT_EQ(nullptr, FindWindowW(L"Kestrelon", nullptr));
  kt::CloseProcess(popup);
  kt::RemoveTree(dir);
}

}  // namespace
