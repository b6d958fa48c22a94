// The shell helpers against the real shell32, comctl32 and gdi32.
#include <gtest/gtest.h>

#include <string>

#include "app/shell_helpers.h"
#include "app/state.h"
#include "support/wine_test.h"

namespace {

std::wstring Stripped(const wchar_t* name) {
  wchar_t buffer[1024];
  wcscpy_s(buffer, name);
  StripShortcutExtension(buffer);
  return buffer;
}

TEST(ShellHelpers, ShortcutNamesAreRecognisedByExactCaseAnywhere) {
  EXPECT_EQ(1, IsShortcutName(L"Mail.lnk"));
  EXPECT_EQ(1, IsShortcutName(L"MAIL.LNK"));
  EXPECT_EQ(0, IsShortcutName(L"Mail.Lnk"));
  EXPECT_EQ(1, IsShortcutName(L"notes.lnk.txt"));
  EXPECT_EQ(1, IsShortcutName(L".lnk"));
  EXPECT_EQ(0, IsShortcutName(L"lnk"));
  EXPECT_EQ(0, IsShortcutName(L""));
  EXPECT_EQ(0, IsShortcutName(nullptr));
  EXPECT_EQ(0, IsShortcutName(L"Site.url"));
}

TEST(ShellHelpers, StripDropsTheLastFourCharactersOfLongerNames) {
  EXPECT_EQ(L"Mail", Stripped(L"Mail.lnk"));
  EXPECT_EQ(L"", Stripped(L".lnk"));
  EXPECT_EQ(L"abc", Stripped(L"abc"));
  EXPECT_EQ(L"notes.lnk", Stripped(L"notes.lnk.txt"));
  StripShortcutExtension(nullptr);  // must not crash
}

}  // namespace
