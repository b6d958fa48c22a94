// The painted panel and the account picture, read back from the screen at literal pixels.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/state.h"
#include "panel/panel_paint.h"
#include "support/panel_colours.h"
#include "support/panel_popup.h"
#include "support/wine_test.h"

namespace {

constexpr COLORREF RED = RGB(255, 0, 0);
constexpr COLORREF GREEN = RGB(0, 255, 0);
constexpr COLORREF BLUE = RGB(0, 0, 255);
constexpr COLORREF YELLOW = RGB(255, 255, 0);

struct Expected {
  int x, y;
  COLORREF colour;
  const char* what;
};

void ExpectPixels(const kt::PopupSnapshot& snapshot, const std::vector<Expected>& expected) {
  for (const Expected& e : expected) {
    EXPECT_EQ(e.colour, snapshot.At(e.x, e.y)) << e.what << " at (" << e.x << ", " << e.y << ")";
  }
}

class PanelPaint : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!kt::OnWine()) GTEST_SKIP() << "the account picture is taken from its stand-in file only under Wine";
    if (!kt::HasWineDefaultScheme())
      GTEST_SKIP() << "the expected colours are those of Wine's default scheme";
    kt::MoveCursor(900, 100);  // keep the cursor off the popup
    tag_ = std::to_wstring(GetCurrentProcessId());
  }

  void TearDown() override {
    for (const std::wstring& file : files_) DeleteFileW(file.c_str());
  }

  // A picture file for the account name "kt-<name>-<pid>"; returns that account name.
  std::wstring AccountWithPicture(const std::wstring& name, int width, int height) {
    std::wstring account = L"kt-" + name + L"-" + tag_;
    std::wstring file = kt::AccountPicturesDir() + L"\\" + account + L".bmp";
    const COLORREF quadrants[4] = {RED, GREEN, BLUE, YELLOW};
    kt::WriteQuadrantBitmap(file, width, height, quadrants);
    files_.push_back(file);
    return account;
  }

  std::wstring AccountWithUnreadablePicture(const std::wstring& name) {
    std::wstring account = L"kt-" + name + L"-" + tag_;
    std::wstring file = kt::AccountPicturesDir() + L"\\" + account + L".bmp";
    kt::WriteTextFile(file, "BM but not a bitmap at all");
    files_.push_back(file);
    return account;
  }

  std::wstring tag_;
  std::vector<std::wstring> files_;
};

TEST_F(PanelPaint, PanelSeparatorFrameAndPictureStandAtTheirPixels) {
  // Wine's menu colour is white like the panel's fill; a pen and a brush of telling colours
  // stand in for the menu-colour resources, so that the outline shows and a fill taken from
  // the menu brush instead of white would show too.
  constexpr COLORREF OUTLINE = RGB(0x20, 0x60, 0xA0);
  g_menuPen = CreatePen(PS_SOLID, 1, OUTLINE);
  g_menuBrush = CreateSolidBrush(RGB(0xC0, 0x40, 0x40));
  // 80 x 40: neither the picture's size nor its shape.
  ASSERT_NE(nullptr, kt::ShowPanelPopup(AccountWithPicture(L"panel", 80, 40)));
  ASSERT_NE(nullptr, g_userPicture);
  ASSERT_TRUE(kt::WaitForPopupPixel(351, 59, YELLOW)) << "the picture never reached the screen";
  kt::PopupSnapshot shown = kt::SnapshotPopup();

  ExpectPixels(shown, {
                          {9, 200, OUTLINE, "panel outline, left"},
                          {249, 200, OUTLINE, "panel outline, right"},
                          {120, 8, OUTLINE, "panel outline, top"},
                          {120, 427, OUTLINE, "panel outline, bottom"},
                          {10, 200, kt::WHITE, "panel fill left of the tree"},
                          {13, 200, kt::WHITE, "panel fill left of the tree"},
                          {244, 200, kt::WHITE, "panel fill right of the tree"},
                          {248, 200, kt::WHITE, "panel fill right of the tree"},
                          {120, 9, kt::WHITE, "panel fill above the tree"},
                          {120, 12, kt::WHITE, "panel fill above the tree"},
                          {120, 426, kt::WHITE, "panel fill below the button"},
                          {8, 200, kt::SCHEME_GRAYTEXT, "background left of the panel"},
                          {250, 200, kt::SCHEME_GRAYTEXT, "background right of the panel"},
                          {120, 428, kt::SCHEME_GRAYTEXT, "background below the panel"},
                      });
  ExpectPixels(shown, {
                          {14, 393, kt::SCHEME_3DLIGHT, "separator start"},
                          {120, 393, kt::SCHEME_3DLIGHT, "separator"},
                          {243, 393, kt::SCHEME_3DLIGHT, "separator end"},
                          {13, 393, kt::WHITE, "before the separator"},
                          {244, 393, kt::WHITE, "after the separator (end point not drawn)"},
                          {120, 392, kt::WHITE, "above the separator"},
                          {120, 394, kt::WHITE, "below the separator"},
                      });
  ExpectPixels(shown, {
                          {300, 36, kt::SCHEME_3DLIGHT, "frame outline, left"},
                          {355, 36, kt::SCHEME_3DLIGHT, "frame outline, right"},
                          {328, 8, kt::SCHEME_3DLIGHT, "frame outline, top"},
                          {328, 63, kt::SCHEME_3DLIGHT, "frame outline, bottom"},
                          {301, 36, kt::SCHEME_GRADIENTACTIVECAPTION, "frame fill"},
                          {302, 36, kt::SCHEME_GRADIENTACTIVECAPTION, "frame fill"},
                          {353, 36, kt::SCHEME_GRADIENTACTIVECAPTION, "frame fill"},
                          {354, 36, kt::SCHEME_GRADIENTACTIVECAPTION, "frame fill"},
                          {328, 9, kt::SCHEME_GRADIENTACTIVECAPTION, "frame fill"},
                          {328, 62, kt::SCHEME_GRADIENTACTIVECAPTION, "frame fill"},
                          {299, 36, kt::SCHEME_GRAYTEXT, "background left of the frame"},
                          {356, 36, kt::SCHEME_GRAYTEXT, "background right of the frame"},
                          {303, 11, kt::PICTURE_BORDER, "border corner"},
                          {303, 36, kt::PICTURE_BORDER, "border, left"},
                          {352, 36, kt::PICTURE_BORDER, "border, right"},
                          {328, 11, kt::PICTURE_BORDER, "border, top"},
                          {328, 60, kt::PICTURE_BORDER, "border, bottom"},
                          {352, 60, kt::PICTURE_BORDER, "border corner"},
                      });
  // The four quadrants of the file, scaled to 48 x 48 at (304, 12).
  ExpectPixels(shown, {
                          {304, 12, RED, "picture, top-left corner"},
                          {316, 24, RED, "picture, top-left quadrant"},
                          {351, 12, GREEN, "picture, top-right corner"},
                          {340, 24, GREEN, "picture, top-right quadrant"},
                          {304, 59, BLUE, "picture, bottom-left corner"},
                          {316, 48, BLUE, "picture, bottom-left quadrant"},
                          {351, 59, YELLOW, "picture, bottom-right corner"},
                          {340, 48, YELLOW, "picture, bottom-right quadrant"},
                      });
}

TEST_F(PanelPaint, WithoutAPictureTheBorderEnclosesTheFrameFill) {
  ASSERT_NE(nullptr, kt::ShowPanelPopup(AccountWithPicture(L"before", 48, 48)));
  ASSERT_TRUE(kt::WaitForPopupPixel(304, 12, RED)) << "start from a popup that shows a picture";

  struct Case {
    const char* what;
    std::wstring account;
  };
  const Case cases[] = {
      {"no file for the account", L"kt-nobody-" + tag_},
      {"a file that is no bitmap", AccountWithUnreadablePicture(L"garbled")},
      {"an empty account name", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    wcsncpy_s(g_userName, ENV_BUFFER_CHARS, c.account.c_str(), _TRUNCATE);
    g_userPicture = nullptr;
    LoadUserPicture();
    EXPECT_EQ(nullptr, g_userPicture);
    InvalidateRect(g_mainWnd, nullptr, TRUE);
    UpdateWindow(g_mainWnd);
    ASSERT_TRUE(kt::WaitForPopupPixel(304, 12, kt::SCHEME_GRADIENTACTIVECAPTION));
    ExpectPixels(kt::SnapshotPopup(), {
                                          {304, 12, kt::SCHEME_GRADIENTACTIVECAPTION, "inside, top-left"},
                                          {328, 36, kt::SCHEME_GRADIENTACTIVECAPTION, "inside, centre"},
                                          {351, 59, kt::SCHEME_GRADIENTACTIVECAPTION, "inside, bottom-right"},
                                          {303, 36, kt::PICTURE_BORDER, "border, left"},
                                          {352, 36, kt::PICTURE_BORDER, "border, right"},
                                          {328, 11, kt::PICTURE_BORDER, "border, top"},
                                          {328, 60, kt::PICTURE_BORDER, "border, bottom"},
                                          {300, 36, kt::SCHEME_3DLIGHT, "frame outline"},
                                          {301, 36, kt::SCHEME_GRADIENTACTIVECAPTION, "frame fill"},
                                      });
  }
}

}  // namespace
