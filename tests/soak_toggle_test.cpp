// Start and toggle kestrelon.exe two hundred times in a row: every run ends with 0 and nothing of
// it stays behind. Split into four tests of fifty pairs so that each fits its time limit.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>

#include "support/soak_process.h"
#include "support/wine_test.h"

namespace {

constexpr int kPairsPerTest = 50;

struct PairResult {
  bool popupShown = false;
  bool secondStarted = false;
  int firstExit = -2;
  int secondExit = -2;
  bool secondMadeAWindow = false;
  DWORD secondMs = 0;  // from the toggle's start to its end, or to giving up on it
};

// One start (waits for the popup on screen) and one toggle start that closes it.
PairResult StartAndToggle(const std::map<std::wstring, std::wstring>& env, const std::wstring& dir) {
  PairResult result;
  kt::Process first = kt::StartProcess(kt::KestrelonExe(), env, dir);
  result.popupShown = first.handle && kt::WaitForWindow(first.id, L"Kestrelon", 10000) != nullptr;
  if (result.popupShown) {
    kt::Process second = kt::StartProcess(kt::KestrelonExe(), env, dir);
    result.secondStarted = second.handle != nullptr;
    DWORD start = GetTickCount();
    kt::WaitFor(
        [&] {
          result.secondMadeAWindow |= kt::FindProcessWindow(second.id, L"Kestrelon") != nullptr;
          return !second.handle || WaitForSingleObject(second.handle, 0) == WAIT_OBJECT_0;
        },
        10000);
    result.secondMs = GetTickCount() - start;
    result.secondExit = kt::WaitExit(second, 1000);
    kt::CloseProcess(second);
  }
  result.firstExit = kt::WaitExit(first, 10000);
  kt::CloseProcess(first);
  return result;
}

class SoakToggle : public ::testing::Test {
 protected:
  void SetUp() override {
    kt::CloseStrayPopups();
    kt::MoveCursor(900, 100);  // off the popup: a hover paint is not what this soak is about
    home_ = kt::MakeTempDir(L"soak-home");
    ASSERT_FALSE(home_.empty());
  }
  void TearDown() override { kt::RemoveTree(home_); }

  void RunPairs(int count) {
    std::map<std::wstring, std::wstring> env = {{L"homedrive", home_.substr(0, 2)},
                                                {L"homepath", home_.substr(2)}};
    int failures = 0;
    for (int pair = 0; pair < count && failures < 3; ++pair) {
      PairResult result = StartAndToggle(env, home_);
      bool ok = result.popupShown && result.secondStarted && result.firstExit == 0 &&
                result.secondExit == 0 && !result.secondMadeAWindow;
      if (!ok) ++failures;
      EXPECT_TRUE(result.popupShown) << "pair " << pair << ": the popup never showed";
      EXPECT_TRUE(!result.popupShown || result.secondStarted) << "pair " << pair << ": no toggle process";
      EXPECT_EQ(0, result.firstExit) << "pair " << pair << ": the popup's run";
      EXPECT_EQ(0, result.secondExit)
          << "pair " << pair << ": the toggle's run, ended or given up after " << result.secondMs << " ms";
      EXPECT_FALSE(result.secondMadeAWindow) << "pair " << pair << ": the toggle made a popup of its own";
    }
    EXPECT_EQ(0, failures);
    EXPECT_EQ(nullptr, FindWindowW(L"Kestrelon", nullptr)) << "a popup is left behind";
    EXPECT_EQ(0, kt::KestrelonProcesses()) << "a kestrelon.exe process is left behind";
  }

  std::wstring home_;
};

TEST_F(SoakToggle, Pairs001To050) { RunPairs(kPairsPerTest); }
TEST_F(SoakToggle, Pairs051To100) { RunPairs(kPairsPerTest); }
TEST_F(SoakToggle, Pairs101To150) { RunPairs(kPairsPerTest); }
TEST_F(SoakToggle, Pairs151To200) { RunPairs(kPairsPerTest); }

}  // namespace
