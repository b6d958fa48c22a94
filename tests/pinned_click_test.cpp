// kestrelon.exe with a StartItems folder of shortcuts to the launch recorder, clicked for real.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "support/pinned_tree.h"
#include "support/wine_test.h"

namespace {

// Watches a popup until its process ends; true if the popup was seen hidden, but still there,
// before that.
bool SeenHiddenBeforeExit(HWND popup, HANDLE process, DWORD timeoutMs) {
  bool seenHidden = false;
  DWORD start = GetTickCount();
  while (WaitForSingleObject(process, 1) == WAIT_TIMEOUT && GetTickCount() - start < timeoutMs) {
    // Still a window after the visibility check: hidden, not gone with its process.
    if (IsWindow(popup) && !IsWindowVisible(popup) && IsWindow(popup)) seenHidden = true;
  }
  return seenHidden;
}

TEST(PinnedClickEndToEnd, ClickOnThirdRowOpensThirdPathAndEndsTheRun) {
  kt::CloseStrayPopups();
  kt::TestHome home = kt::MakeTestHome();
  std::wstring log = kt::NewRecorderLog(home.root);
  const wchar_t* names[] = {L"1 Alpha.lnk", L"2 Beta.lnk", L"3 Gamma.lnk", L"4 Delta.lnk"};
  const wchar_t* arguments[] = {L"one", L"two", L"three", L"four"};
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(kt::MakeShortcut(home.startItems + L"\\" + names[i], kt::RecorderExe(), arguments[i]));
  }

  kt::Process popup = kt::StartProcess(kt::KestrelonExe(), kt::HomeEnvironment(home, log), home.root);
  kt::ProcessGuard guard{popup};
  HWND window = kt::WaitForWindow(popup.id, L"Kestrelon", 20000);
  ASSERT_NE(nullptr, window);
  HWND tree = kt::WaitForPinnedTree(window, 10000);
  ASSERT_NE(nullptr, tree);
  ASSERT_TRUE(kt::WaitFor([&] { return kt::TreeCount(tree) == 4; }, 30000)) << kt::TreeCount(tree);
  EXPECT_EQ(nullptr, reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0)));

  // Below the last item: nothing opens, the popup stays.
  POINT below = kt::TreeRowPoint(tree, 5, 100);
  kt::ClickAt(below.x, below.y);
  EXPECT_FALSE(kt::WaitForLaunches(log, 1, 1500));
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(popup.handle, 0));
  EXPECT_TRUE(IsWindowVisible(window));

  // The blank space right of the third label.
  POINT third = kt::TreeRowPoint(tree, 2, 215);
  kt::ClickAt(third.x, third.y);
  EXPECT_TRUE(SeenHiddenBeforeExit(window, popup.handle, 20000));
  EXPECT_EQ(0, kt::WaitExit(popup, 5000));

  ASSERT_TRUE(kt::WaitForLaunches(log, 1, 10000));
  std::vector<kt::Launch> launches = kt::ReadLaunches(log);
  ASSERT_EQ(1u, launches.size());
  EXPECT_NE(std::wstring::npos, launches[0].commandLine.find(L" three")) << launches[0].commandLine;
  kt::RemoveTree(home.root);
}

}  // namespace
