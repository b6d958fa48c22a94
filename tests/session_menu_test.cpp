// The "Shut down..." menu as the user meets it: opened by the button or by command 5000,
// placed at the button's corner, dismissed without closing the popup, and chosen from.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/session_fakes.h"
#include "support/session_popup.h"
#include "support/wine_test.h"

namespace {

// The popup sits at the left edge on the taskbar (top 748): 0, 263 to 410, 748.
constexpr int kButtonCentreX = 265 + 42;
constexpr int kButtonCentreY = 263 + 443 + 11;
constexpr int kIdShutdownButton = 5000;
constexpr UINT kCloseMenuMessage = 31982;

std::wstring DescribeItem(HMENU menu, int position) {
  wchar_t text[64] = L"";
  MENUITEMINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_STATE | MIIM_BITMAP | MIIM_CHECKMARKS | MIIM_SUBMENU;
  info.dwTypeData = text;
  info.cch = 64;
  if (!GetMenuItemInfoW(menu, position, TRUE, &info)) return L"unreadable";
  std::wstring kind = info.fType == MFT_STRING      ? L"string"
                      : info.fType == MFT_SEPARATOR ? L"separator"
                                                    : L"type " + std::to_wstring(info.fType);
  std::wstring described = kind + L" " + std::to_wstring(info.wID) + L" '" + text + L"'";
  // Windows marks every separator grayed and disabled itself; only the items' state is ours.
  if (info.fType != MFT_SEPARATOR && info.fState != 0) described += L" state " + std::to_wstring(info.fState);
  if (info.hbmpItem || info.hbmpChecked || info.hbmpUnchecked) described += L" with bitmap";
  if (info.hSubMenu) described += L" with submenu";
  return described;
}

const std::vector<std::wstring> kExpectedItems = {
    L"string 5003 'Log off'", L"string 5004 'Lock'", L"separator 0 ''",
    L"string 5001 'Restart'", L"separator 0 ''",     L"string 5002 'Shut down'",
};

struct TrackedMenu {
  bool seen = false;
  RECT rect = {};
  HMENU menu = nullptr;
  std::vector<std::wstring> items;
};

// Runs on a second thread while the popup's thread is inside its menu loop: reads the menu
// window of this process, then hands it to `then` (which must end the tracking).
TrackedMenu WatchMenu(const std::function<void(HWND, HMENU)>& then) {
  TrackedMenu tracked;
  HWND menuWindow = kt::WaitForWindow(GetCurrentProcessId(), L"#32768", 5000);
  if (!menuWindow) return tracked;
  tracked.seen = true;
  GetWindowRect(menuWindow, &tracked.rect);
  tracked.menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
  for (int i = 0; i < GetMenuItemCount(tracked.menu); ++i)
    tracked.items.push_back(DescribeItem(tracked.menu, i));
  then(menuWindow, tracked.menu);
  // Input can be lost on a loaded machine: a menu still up after its keys is ended here, so
  // that the popup's thread never stays inside its menu loop.
  if (!kt::WaitFor([] { return !kt::WaitForWindow(GetCurrentProcessId(), L"#32768", 0); }, 3000)) EndMenu();
  return tracked;
}

// Starts `open` on this thread and watches the menu it tracks from another one.
TrackedMenu OpenAndWatch(const std::function<void()>& open, const std::function<void(HWND, HMENU)>& then) {
  TrackedMenu tracked;
  std::atomic<bool> done{false};
  std::thread watcher([&] {
    tracked = WatchMenu(then);
    done = true;
  });
  open();
  bool finished = kt::WaitFor([&] { return done.load(); }, 15000);
  watcher.join();
  EXPECT_TRUE(finished);
  // Tracking is over once no menu window of ours is visible any more.
  EXPECT_TRUE(kt::WaitFor([] { return !kt::WaitForWindow(GetCurrentProcessId(), L"#32768", 0); }, 5000));
  return tracked;
}

void PressEscape(HWND, HMENU) { kt::PressKey(VK_ESCAPE); }

bool IsHighlighted(HMENU menu, int position) {
  return (GetMenuState(menu, position, MF_BYPOSITION) & MF_HILITE) != 0;
}

// Moves the highlight down to the item at `position` with the arrow key and chooses it;
// escapes instead if the highlight never gets there.
std::function<void(HWND, HMENU)> ChooseWithKeys(int position) {
  return [position](HWND, HMENU menu) {
    for (int press = 0; press < 6 && !IsHighlighted(menu, position); ++press) {
      int before = -1;
      for (int i = 0; i < GetMenuItemCount(menu); ++i)
        if (IsHighlighted(menu, i)) before = i;
      kt::PressKey(VK_DOWN);
      kt::WaitFor(
          [&] {
            for (int i = 0; i < GetMenuItemCount(menu); ++i)
              if (IsHighlighted(menu, i) && i != before) return true;
            return false;
          },
          1000);
    }
    kt::PressKey(IsHighlighted(menu, position) ? VK_RETURN : VK_ESCAPE);
  };
}

TEST(SessionMenu, TrackedMenuOffersTheFourActionsAndIsDestroyedAfterwards) {
  kt::CloseStrayPopups();
  ASSERT_TRUE(kt::InstallSessionFakes());
  HWND popup = kt::ShowPopupInThisProcess();
  ASSERT_TRUE(popup);

  TrackedMenu fromButton = OpenAndWatch([] { kt::ClickAt(kButtonCentreX, kButtonCentreY); }, PressEscape);
  ASSERT_TRUE(fromButton.seen) << "no menu after a click on Shut down...";
  EXPECT_EQ(kExpectedItems, fromButton.items);
  EXPECT_EQ(350, fromButton.rect.left);
  EXPECT_EQ(728, fromButton.rect.bottom);
  EXPECT_FALSE(IsMenu(fromButton.menu)) << "the menu outlived its tracking";

  // Command 5000 arriving from a menu (code 0, no control) opens the same menu.
  TrackedMenu fromCommand =
      OpenAndWatch([popup] { PostMessageW(popup, WM_COMMAND, kIdShutdownButton, 0); }, PressEscape);
  ASSERT_TRUE(fromCommand.seen) << "no menu after command 5000 from the menu path";
  EXPECT_EQ(kExpectedItems, fromCommand.items);
  EXPECT_EQ(350, fromCommand.rect.left);
  EXPECT_EQ(728, fromCommand.rect.bottom);
  EXPECT_FALSE(IsMenu(fromCommand.menu));
  EXPECT_NE(fromButton.menu, fromCommand.menu) << "the menu is built anew for every opening";

  EXPECT_TRUE(kt::SessionCalls().empty()) << "dismissing the menu must not act or quit";
  kt::EndPopupInThisProcess();
}

TEST(SessionMenu, ChoosingAnItemRunsItsActionWithThePrivilegeAndEndsTheRun) {
  kt::CloseStrayPopups();
  ASSERT_TRUE(kt::InstallSessionFakes());  // nothing below may reach the real session calls
  HWND popup = kt::ShowPopupInThisProcess();
  ASSERT_TRUE(popup);

  struct Choice {
    int position;
    const char* call;
  };
  const Choice choices[] = {
      {0, "ExitWindowsEx(0, 0) privilege on"},
      {1, "LockWorkStation() privilege on"},
      {3, "ExitWindowsEx(0x2, 0) privilege on"},
      {5, "ExitWindowsEx(0x8, 0) privilege on"},
  };
  for (const Choice& choice : choices) {
    SCOPED_TRACE("menu position " + std::to_string(choice.position));
    ASSERT_TRUE(kt::DisableShutdownPrivilege());
    kt::ClearSessionCalls();
    TrackedMenu tracked =
        OpenAndWatch([] { kt::ClickAt(kButtonCentreX, kButtonCentreY); }, ChooseWithKeys(choice.position));
    ASSERT_TRUE(tracked.seen);
    auto quitLogged = [] {
      std::vector<std::string> calls = kt::SessionCalls();
      return !calls.empty() && calls.back() == "PostQuitMessage(0)";
    };
    EXPECT_TRUE(kt::WaitFor(quitLogged, 5000));
    std::vector<std::string> expected = {"open token 0x28", "close token", choice.call, "PostQuitMessage(0)"};
    EXPECT_EQ(expected, kt::SessionCalls());
  }
  kt::EndPopupInThisProcess();
}

// The program itself: dismissing the menu leaves the popup open and a later click shows the
// menu again at the same place. (Under Wine another process's menu cannot be read item by
// item, so the items are checked on the popup made in this process above.)
TEST(SessionMenu, DismissedMenuLeavesThePopupOpenAndReopensAtTheSamePlace) {
  kt::CloseStrayPopups();
  std::wstring dir = kt::MakeTempDir(L"session-menu");
  kt::Process program = kt::StartProcess(kt::KestrelonExe(), {}, dir);
  HWND popup = kt::WaitForWindow(program.id, L"Kestrelon", 10000);
  ASSERT_TRUE(popup);
  RECT popupRect = {};
  GetWindowRect(popup, &popupRect);
  ASSERT_EQ(0, popupRect.left);
  ASSERT_EQ(748, popupRect.bottom);

  auto menuRect = [&](const std::function<void()>& open) {
    open();
    RECT rect = {-1, -1, -1, -1};
    HWND menuWindow = kt::WaitForWindow(program.id, L"#32768", 5000);
    if (menuWindow) GetWindowRect(menuWindow, &rect);
    return rect;
  };
  auto menuGone = [&] {
    return kt::WaitFor([&] { return !kt::WaitForWindow(program.id, L"#32768", 0); }, 5000);
  };

  RECT first = menuRect([] { kt::ClickAt(kButtonCentreX, kButtonCentreY); });
  EXPECT_EQ(350, first.left);
  EXPECT_EQ(728, first.bottom);
  kt::PressKey(VK_ESCAPE);
  ASSERT_TRUE(menuGone());
  EXPECT_TRUE(IsWindowVisible(popup));

  RECT second = menuRect([] { kt::ClickAt(kButtonCentreX, kButtonCentreY); });
  EXPECT_EQ(350, second.left);
  EXPECT_EQ(728, second.bottom);
  EXPECT_EQ(first.right - first.left, second.right - second.left);
  EXPECT_EQ(first.top, second.top);
  PostMessageW(popup, WM_CANCELMODE, 0, 0);
  ASSERT_TRUE(menuGone());

  RECT third = menuRect([popup] { PostMessageW(popup, WM_COMMAND, kIdShutdownButton, 0); });
  EXPECT_EQ(350, third.left);
  EXPECT_EQ(728, third.bottom);
  PostMessageW(popup, WM_CANCELMODE, 0, 0);
  ASSERT_TRUE(menuGone());

  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(program.handle, 0)) << "the popup ended without a choice";
  PostMessageW(popup, kCloseMenuMessage, 0, 0);
  EXPECT_EQ(0, kt::WaitExit(program, 10000));
  kt::CloseProcess(program);
  kt::RemoveTree(dir);
}

}  // namespace
