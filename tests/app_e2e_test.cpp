// kestrelon.exe as a user meets it: started as its own process, driven with real input.
#include <gtest/gtest.h>

#include "app/ids.h"
#include "support/wine_test.h"

namespace {

class Popup : public ::testing::Test {
 protected:
  void SetUp() override {
    kt::CloseStrayPopups();
    home_ = kt::MakeTempDir(L"home");
    ASSERT_FALSE(home_.empty());
  }
  void TearDown() override {
    kt::CloseProcess(first_);
    kt::CloseProcess(second_);
    if (helper_) DestroyWindow(helper_);
    kt::RemoveTree(home_);
  }

  kt::Process Start() {
    // A home of its own: "C:" + "\...\kt-home-..." split as homedrive and homepath.
    return kt::StartProcess(kt::KestrelonExe(),
                            {{L"homedrive", home_.substr(0, 2)}, {L"homepath", home_.substr(2)}}, home_);
  }

  HWND StartAndWaitForPopup() {
    first_ = Start();
    return kt::WaitForWindow(first_.id, L"Kestrelon", 10000);
  }

  // A window of the test's own to take activation away from the popup.
  HWND HelperWindow() {
    helper_ = CreateWindowExW(0, L"STATIC", L"other application", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 500, 100,
                              200, 100, nullptr, nullptr, nullptr, nullptr);
    return helper_;
  }

  std::wstring home_;
  kt::Process first_, second_;
  HWND helper_ = nullptr;
};

TEST_F(Popup, StandsOnTheTaskbarAndASecondStartClosesIt) {
  HWND popup = StartAndWaitForPopup();
  ASSERT_NE(nullptr, popup);
  RECT tray, rect;
  ASSERT_TRUE(GetWindowRect(FindWindowW(L"Shell_TrayWnd", L""), &tray));
  GetWindowRect(popup, &rect);
  EXPECT_EQ(0, rect.left);
  EXPECT_EQ(410, rect.right);
  EXPECT_EQ(tray.top, rect.bottom);
  EXPECT_EQ(tray.top - 485, rect.top);

  second_ = Start();
  ASSERT_NE(nullptr, second_.handle);
  bool secondMadeAWindow = false;
  kt::WaitFor(
      [&] {
        secondMadeAWindow |= kt::FindProcessWindow(second_.id, L"Kestrelon") != nullptr;
        return WaitForSingleObject(second_.handle, 0) == WAIT_OBJECT_0;
      },
      10000);
  EXPECT_EQ(0, kt::WaitExit(second_, 1000));
  EXPECT_EQ(0, kt::WaitExit(first_, 5000));
  EXPECT_FALSE(secondMadeAWindow);
  EXPECT_EQ(nullptr, FindWindowW(L"Kestrelon", nullptr));
}

TEST_F(Popup, EscapeClosesIt) {
  HWND popup = StartAndWaitForPopup();
  ASSERT_NE(nullptr, popup);
  ASSERT_TRUE(kt::ActivateWindow(popup, 5000));
  kt::PressKey(VK_ESCAPE);
  EXPECT_EQ(0, kt::WaitExit(first_, 5000));
}

TEST_F(Popup, LosingActivationClosesItEvenWhenReactivatedWithinTheSecond) {
  HWND popup = StartAndWaitForPopup();
  ASSERT_NE(nullptr, popup);
  ASSERT_TRUE(kt::ActivateWindow(popup, 5000));
  HWND other = HelperWindow();
  ASSERT_TRUE(kt::ActivateWindow(other, 5000));
  ASSERT_TRUE(kt::ActivateWindow(popup, 5000));
  EXPECT_EQ(0, kt::WaitExit(first_, 5000));
}

TEST_F(Popup, StaysOpenWhileActiveAndClosesAfterDeactivation) {
  HWND popup = StartAndWaitForPopup();
  ASSERT_NE(nullptr, popup);
  ASSERT_TRUE(kt::ActivateWindow(popup, 5000));
  EXPECT_FALSE(kt::WaitFor([&] { return WaitForSingleObject(first_.handle, 0) == WAIT_OBJECT_0; }, 1500));
  ASSERT_TRUE(kt::ActivateWindow(HelperWindow(), 5000));
  EXPECT_EQ(0, kt::WaitExit(first_, 5000));
}

TEST_F(Popup, CloseMenuMessageHidesThenEndsTheRun) {
  HWND popup = StartAndWaitForPopup();
  ASSERT_NE(nullptr, popup);
  SendMessageW(popup, UM_CLOSEMENU, 0, 0);
  // SendMessage returns once the popup has handled it: hidden already, or gone with its process.
  EXPECT_FALSE(IsWindow(popup) && IsWindowVisible(popup));
  EXPECT_EQ(0, kt::WaitExit(first_, 5000));
}

}  // namespace
