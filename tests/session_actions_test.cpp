// The four session actions as MainWndProc runs them, from a menu and from a control: each
// enables the shut-down privilege, makes its own call to Windows and ends the run. The calls
// are recorded by stand-ins (a real ExitWindowsEx would end the whole test prefix); the real
// calls run end to end in a prefix of their own in session_real_calls_test.sh.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "session/session_menu.h"
#include "support/session_fakes.h"
#include "support/session_popup.h"
#include "support/wine_test.h"

namespace {

struct Action {
  int id;
  const char* call;
};
const Action kActions[] = {
    {5001, "ExitWindowsEx(0x2, 0) privilege on"},  // Restart: reboot, never forced
    {5002, "ExitWindowsEx(0x8, 0) privilege on"},  // Shut down: power off, not the plain shutdown
    {5003, "ExitWindowsEx(0, 0) privilege on"},    // Log off
    {5004, "LockWorkStation() privilege on"},      // Lock
};

TEST(SessionActions, EachCommandActsAlikeFromTheMenuAndFromAControl) {
  kt::CloseStrayPopups();
  ASSERT_TRUE(kt::InstallSessionFakes());
  HWND popup = kt::ShowPopupInThisProcess();
  ASSERT_TRUE(popup);
  HWND button = GetDlgItem(popup, 5000);
  ASSERT_TRUE(button);

  struct Route {
    const char* name;
    WORD code;
    LPARAM control;
  };
  const Route routes[] = {
      {"menu", 0, 0},
      {"button", BN_CLICKED, reinterpret_cast<LPARAM>(button)},
      {"notification code alone", 1, 0},
      {"control window alone", 0, reinterpret_cast<LPARAM>(button)},
  };
  for (const Action& action : kActions) {
    for (const Route& route : routes) {
      SCOPED_TRACE("command " + std::to_string(action.id) + " from " + route.name);
      ASSERT_TRUE(kt::DisableShutdownPrivilege());
      kt::ClearSessionCalls();
      EXPECT_EQ(0, MainWndProc(popup, WM_COMMAND, MAKEWPARAM(action.id, route.code), route.control));
      std::vector<std::string> expected = {"open token 0x28", "close token", action.call,
                                           "PostQuitMessage(0)"};
      EXPECT_EQ(expected, kt::SessionCalls());
      EXPECT_TRUE(kt::ShutdownPrivilegeEnabled()) << "the privilege stays enabled for the rest of the run";
    }
  }
  kt::EndPopupInThisProcess();
}

TEST(SessionActions, PrivilegeIsEnabledEveryTimeWithTheTokenClosedAfterwards) {
  ASSERT_TRUE(kt::InstallSessionFakes());
  for (int use = 0; use < 3; ++use) {
    SCOPED_TRACE("use " + std::to_string(use));
    ASSERT_TRUE(kt::DisableShutdownPrivilege());
    kt::ClearSessionCalls();
    EnableShutdownPrivilege();
    EXPECT_TRUE(kt::ShutdownPrivilegeEnabled());
    std::vector<std::string> expected = {"open token 0x28", "close token"};
    EXPECT_EQ(expected, kt::SessionCalls());
  }
}

}  // namespace
