// kestrelon.exe ended in every way while its loader is still filling a large tree.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "support/pinned_tree.h"
#include "support/wine_test.h"

namespace {

// Each entry costs the loader an icon lookup of several milliseconds under Wine.
constexpr int kEntries = 600;

// StartItems: "0 first.lnk" (the first row) runs the recorder with "first", every other entry
// with "other".
kt::TestHome MakeLargeHome() {
  kt::TestHome home = kt::MakeTestHome();
  kt::MakeShortcut(home.startItems + L"\\0 first.lnk", kt::RecorderExe(), L"first");
  std::wstring model = home.root + L"\\other.lnk";
  kt::MakeShortcut(model, kt::RecorderExe(), L"other");
  for (int i = 1; i < kEntries; ++i) {
    wchar_t name[32];
    swprintf_s(name, L"\\item %04d.lnk", i);
    CopyFileW(model.c_str(), (home.startItems + name).c_str(), TRUE);
  }
  return home;
}

// Starts the popup on the home and waits until its loader has begun filling the tree.
HWND StartAndWaitForLoading(const kt::TestHome& home, const std::wstring& log, kt::Process* popup) {
  *popup = kt::StartProcess(kt::KestrelonExe(), kt::HomeEnvironment(home, log), home.root);
  HWND window = kt::WaitForWindow(popup->id, L"Kestrelon", 20000);
  if (!window) return nullptr;
  HWND tree = kt::WaitForPinnedTree(window, 10000);
  if (!tree || !kt::WaitFor([&] { return kt::TreeCount(tree) > 0; }, 30000)) return nullptr;
  return window;
}

void ExpectOnlyLaunchesOf(const std::wstring& log, const wchar_t* argument) {
  for (const kt::Launch& launch : kt::ReadLaunches(log)) {
    EXPECT_NE(std::wstring::npos, launch.commandLine.find(argument)) << launch.commandLine;
  }
}

// A popup whose loader is under way on a large StartItems folder.
class PinnedWhileLoading : public ::testing::Test {
 protected:
  void SetUp() override {
    kt::CloseStrayPopups();
    home_ = MakeLargeHome();
    log_ = kt::NewRecorderLog(home_.root);
    window_ = StartAndWaitForLoading(home_, log_, &popup_);
    ASSERT_NE(nullptr, window_);
    tree_ = kt::WaitForPinnedTree(window_, 1000);
  }
  void TearDown() override {
    kt::CloseProcess(popup_);
    kt::RemoveTree(home_.root);
  }

  kt::TestHome home_;
  std::wstring log_;
  kt::Process popup_;
  HWND window_ = nullptr;
  HWND tree_ = nullptr;
};

TEST_F(PinnedWhileLoading, ClickOpensTheClickedItemAndEndsTheRun) {
  POINT first = kt::TreeRowPoint(tree_, 0, 60);
  kt::ClickAt(first.x, first.y);
  EXPECT_LT(kt::TreeCount(tree_), kEntries) << "the click came after loading";
  EXPECT_EQ(0, kt::WaitExit(popup_, 60000));
  ASSERT_TRUE(kt::WaitForLaunches(log_, 1, 10000));
  EXPECT_EQ(1u, kt::ReadLaunches(log_).size());
  ExpectOnlyLaunchesOf(log_, L" first");
}

TEST_F(PinnedWhileLoading, EscEndsTheRun) {
  ASSERT_TRUE(kt::ActivateWindow(window_, 5000));
  kt::PressKey(VK_ESCAPE);
  EXPECT_LT(kt::TreeCount(tree_), kEntries) << "Esc came after loading";
  EXPECT_EQ(0, kt::WaitExit(popup_, 60000));
  EXPECT_EQ(0u, kt::ReadLaunches(log_).size());
}

TEST_F(PinnedWhileLoading, SecondStartEndsTheRun) {
  kt::Process second = kt::StartProcess(kt::KestrelonExe(), kt::HomeEnvironment(home_, log_), home_.root);
  kt::ProcessGuard secondGuard{second};
  EXPECT_EQ(0, kt::WaitExit(second, 60000));
  EXPECT_LT(kt::TreeCount(tree_), kEntries) << "the second start came after loading";
  EXPECT_EQ(0, kt::WaitExit(popup_, 60000));
  EXPECT_EQ(0u, kt::ReadLaunches(log_).size());
}

}  // namespace
