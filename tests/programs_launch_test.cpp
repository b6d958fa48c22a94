// "All Programs" in a running popup, driven with real input, launching through the shell.
#include <gtest/gtest.h>

#include <string>

#include "support/wine_test.h"

namespace {

const std::wstring kProgramsFolder = L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";

// Open menu levels of the process: one per shown popup menu window.
int OpenMenuLevels(DWORD processId) { return kt::CountVisibleWindows(processId, L"#32768"); }

bool WaitForMenuLevels(DWORD processId, int levels) {
  return kt::WaitFor([&] { return OpenMenuLevels(processId) == levels; }, 5000);
}

bool HasExited(kt::Process& process) { return WaitForSingleObject(process.handle, 0) == WAIT_OBJECT_0; }

class ProgramsLaunch : public ::testing::Test {
 protected:
  void SetUp() override {
    kt::CloseStrayPopups();
    // The "&"s make K, R and O the menu's access keys for this folder and its two items.
    folder_ = kProgramsFolder + L"\\&Kestrel Test";
    kt::RemoveTree(folder_);
    ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
    record_ = folder_ + L"\\&Record.lnk";
    other_ = folder_ + L"\\&Other.lnk";
    // Each shortcut hands the recorder its own path, so the log names the item that ran.
    ASSERT_TRUE(kt::MakeShortcut(record_, kt::RecorderExe(), L"\"" + record_ + L"\""));
    ASSERT_TRUE(kt::MakeShortcut(other_, kt::RecorderExe(), L"\"" + other_ + L"\""));
    work_ = kt::MakeTempDir(L"programs-launch");
    log_ = kt::NewRecorderLog(work_);
    process_ = kt::StartProcess(kt::KestrelonExe(), {{L"KESTRELON_RECORDER_LOG", log_}}, work_);
    popup_ = kt::WaitForWindow(process_.id, L"Kestrelon", 10000);
    ASSERT_NE(nullptr, popup_);
  }
  void TearDown() override {
    kt::CloseProcess(process_);
    kt::RemoveTree(folder_);
    kt::RemoveTree(work_);
  }

  // Clicks "All Programs" (client 10, 397, 238 x 28) and waits for the menu.
  void ClickAllPrograms() {
    POINT centre = {10 + 119, 397 + 14};
    ClientToScreen(popup_, &centre);
    kt::ClickAt(centre.x, centre.y);
    ASSERT_TRUE(kt::WaitFor([&] { return OpenMenuLevels(process_.id) >= 1; }, 5000))
        << "the programs menu did not open";
    // The menu opens over the button, under the cursor, which may hover a folder such as
    // "StartUp" open. These tests use keys: move the cursor away and close such a submenu.
    kt::MoveCursor(900, 100);
    for (int attempt = 0; attempt < 3 && OpenMenuLevels(process_.id) > 1; ++attempt) {
      kt::PressKey(VK_LEFT);
      WaitForMenuLevels(process_.id, 1);
    }
    ASSERT_EQ(1, OpenMenuLevels(process_.id)) << "only the programs menu is open";
  }

  // Opens the test folder's submenu with its access key, then chooses an item by its key.
  // A key lost on a loaded machine is pressed again while its menu level is still open.
  void ChooseWithKeys(WORD itemKey) {
    for (int attempt = 0; attempt < 3 && OpenMenuLevels(process_.id) < 2; ++attempt) {
      kt::PressKey('K');
      WaitForMenuLevels(process_.id, 2);
    }
    ASSERT_EQ(2, OpenMenuLevels(process_.id)) << "the test folder's submenu did not open";
    for (int attempt = 0; attempt < 3 && OpenMenuLevels(process_.id) > 0; ++attempt) {
      kt::PressKey(itemKey);
      WaitForMenuLevels(process_.id, 0);
    }
    ASSERT_EQ(0, OpenMenuLevels(process_.id)) << "the item was not chosen";
  }

  std::wstring folder_, record_, other_, work_, log_;
  kt::Process process_;
  HWND popup_ = nullptr;
};

TEST_F(ProgramsLaunch, ChoosingAnItemOpensItsPathAndEndsTheRun) {
  ClickAllPrograms();
  // The menu opens upwards from one pixel right of and five below the button's lower-left
  // corner: the popup stands at x 0 with its bottom on the taskbar (top 748), so its top is 263.
  HWND menu = kt::WaitForWindow(process_.id, L"#32768", 1000);
  RECT menuRect = {};
  GetWindowRect(menu, &menuRect);
  EXPECT_EQ(11, menuRect.left);
  EXPECT_EQ(693, menuRect.bottom);

  ChooseWithKeys('R');
  ASSERT_TRUE(kt::WaitForLaunches(log_, 1, 20000)) << "the recorder did not run";
  EXPECT_EQ(0, kt::WaitExit(process_, 10000));
  auto launches = kt::ReadLaunches(log_);
  ASSERT_EQ(1u, launches.size());
  EXPECT_EQ(0, _wcsicmp(kt::RecorderExe().c_str(), launches[0].exe.c_str())) << launches[0].exe;
  EXPECT_NE(std::wstring::npos, launches[0].commandLine.find(record_)) << launches[0].commandLine;
}

TEST_F(ProgramsLaunch, DismissingTheMenuKeepsThePopupAndTheNextPressStillLaunches) {
  ClickAllPrograms();
  kt::PressKey(VK_ESCAPE);
  ASSERT_TRUE(WaitForMenuLevels(process_.id, 0)) << "Esc did not close the menu";
  EXPECT_FALSE(kt::WaitFor([&] { return HasExited(process_); }, 1500)) << "the popup closed with the menu";
  EXPECT_TRUE(IsWindowVisible(popup_));
  EXPECT_TRUE(kt::ReadLaunches(log_).empty());

  ClickAllPrograms();
  ChooseWithKeys('O');
  ASSERT_TRUE(kt::WaitForLaunches(log_, 1, 20000)) << "the recorder did not run";
  EXPECT_EQ(0, kt::WaitExit(process_, 10000));
  auto launches = kt::ReadLaunches(log_);
  ASSERT_EQ(1u, launches.size());
  EXPECT_NE(std::wstring::npos, launches[0].commandLine.find(other_)) << launches[0].commandLine;
}

}  // namespace
