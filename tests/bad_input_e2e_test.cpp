// kestrelon.exe started with hostile environments and StartItems: home values of 1,023
// characters, no home values at all, and names outside the BMP or right to left. Each run shows
// its popup, ends with 0 and leaves no dialog behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "support/pinned_tree.h"
#include "support/test_files.h"
#include "support/soak_process.h"
#include "support/wine_test.h"

namespace {

class BadInputEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    kt::CloseStrayPopups();
    kt::MoveCursor(900, 100);
    work_ = kt::MakeTempDir(L"bad-e2e");
    ASSERT_FALSE(work_.empty());
    // Something to list if an empty StartItems path ever fell back to the current directory.
    kt::WriteTextFile(work_ + L"\\not a pinned item.txt", "x");
    dialogsBefore_ = kt::VisibleDialogs();
  }
  void TearDown() override {
    kt::CloseProcess(popup_);
    kt::CloseProcess(toggle_);
    kt::RemoveTree(work_);
    if (!home_.root.empty()) kt::RemoveTree(home_.root);
  }

  // Starts the popup and waits for it and its tree.
  HWND Start(const std::map<std::wstring, std::wstring>& env) {
    popup_ = kt::StartProcess(kt::KestrelonExe(), env, work_);
    HWND window = popup_.handle ? kt::WaitForWindow(popup_.id, L"Kestrelon", 10000) : nullptr;
    tree_ = window ? kt::WaitForPinnedTree(window, 5000) : nullptr;
    return tree_ ? window : nullptr;
  }

  // A second start closes the popup; both runs end with 0.
  void ToggleAndExpectCleanEnd(const std::map<std::wstring, std::wstring>& env) {
    toggle_ = kt::StartProcess(kt::KestrelonExe(), env, work_);
    EXPECT_EQ(0, kt::WaitExit(toggle_, 10000)) << "the second start";
    EXPECT_EQ(0, kt::WaitExit(popup_, 10000)) << "the popup's run";
    ExpectNoDialogLeft();
  }

  void ExpectNoDialogLeft() {
    EXPECT_FALSE(kt::WaitFor([&] { return kt::VisibleDialogs() > dialogsBefore_; }, 1000))
        << "a dialog box is left on the desktop";
  }

  std::wstring work_;
  int dialogsBefore_ = 0;
  kt::TestHome home_;  // for tests that need a StartItems folder
  kt::Process popup_, toggle_;
  HWND tree_ = nullptr;
};

TEST_F(BadInputEndToEnd, HomeValuesOf1023CharactersShowAnEmptyTreeAndDocumentsOpensNothing) {
  // Each value fits the program's buffers; together with \Documents\StartItems\ they do not.
  std::map<std::wstring, std::wstring> env = {{L"homedrive", L"C:" + std::wstring(1021, L'd')},
                                              {L"homepath", L"\\" + std::wstring(1022, L'p')}};
  ASSERT_EQ(1023u, env[L"homedrive"].size());
  ASSERT_EQ(1023u, env[L"homepath"].size());
  HWND window = Start(env);
  ASSERT_NE(nullptr, window);
  EXPECT_EQ(0, kt::TreeCount(tree_));

  // Documents opens home + "\Documents": a path of 2,056 characters that names nothing.
  RECT frame;
  GetWindowRect(window, &frame);
  kt::ClickAt(frame.left + 320, frame.top + 120);
  EXPECT_EQ(0, kt::WaitExit(popup_, 10000)) << "the click on Documents ends the run with 0";
  EXPECT_EQ(0, kt::TreeCount(tree_));
  ExpectNoDialogLeft();
}

TEST_F(BadInputEndToEnd, NoHomeValuesShowAnEmptyTreeAndEndCleanly) {
  std::map<std::wstring, std::wstring> env = {{L"homedrive", L""}, {L"homepath", L""}};
  ASSERT_NE(nullptr, Start(env));
  EXPECT_EQ(0, kt::TreeCount(tree_));
  ToggleAndExpectCleanEnd(env);
}

TEST_F(BadInputEndToEnd, HostileStartItemsAreListedAndAClickOpensTheClickedShortcut) {
  // Shortcuts that hand the recorder their own path, so the log names the item that ran.
  home_ = kt::MakeTestHome();
  const kt::TestHome& home = home_;
  std::vector<std::wstring> names = {L"\xD83D\xDC26 Bird.lnk",
                                     L"\x05E9\x05DC\x05D5\x05DD.lnk",
                                     L"\x202Egnp.lnk",
                                     L"Tom & Jerry.lnk",
                                     L"&.lnk",
                                     L"\xD835\xDD4F" + std::wstring(100, L'x') + L".lnk"};
  std::vector<std::wstring> links;
  for (const std::wstring& name : names) {
    links.push_back(home.startItems + L"\\" + name);
    ASSERT_TRUE(kt::MakeShortcut(links.back(), kt::RecorderExe(), L"\"" + links.back() + L"\""));
  }
  std::wstring log = kt::NewRecorderLog(work_);
  std::map<std::wstring, std::wstring> env = kt::HomeEnvironment(home, log);
  ASSERT_NE(nullptr, Start(env));
  EXPECT_TRUE(kt::WaitFor([&] { return kt::TreeCount(tree_) == static_cast<int>(names.size()); }, 20000))
      << "listed " << kt::TreeCount(tree_) << " of " << names.size();

  POINT row = kt::TreeRowPoint(tree_, 0, 60);
  kt::ClickAt(row.x, row.y);
  EXPECT_EQ(0, kt::WaitExit(popup_, 10000));
  ASSERT_TRUE(kt::WaitForLaunches(log, 1, 10000)) << "the click opened nothing";
  std::vector<kt::Launch> launches = kt::ReadLaunches(log);
  ASSERT_EQ(1u, launches.size());
  int named = 0;
  for (const std::wstring& link : links)
    named += launches[0].commandLine.find(L"\"" + link + L"\"") != std::wstring::npos;
  EXPECT_EQ(1, named) << "the launch names none of the shortcuts, or several";
  ExpectNoDialogLeft();
}

}  // namespace
