// The programs menu built from folder trees made here, against the real user32, gdi32 and shell32.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/state.h"
#include "programs/programs_menu.h"
#include "support/test_files.h"
#include "support/wine_test.h"

namespace {

// --- the owner window: the menu's g_mainWnd, which also ends each tracked menu ---

constexpr UINT_PTR kSafetyTimer = 1;

struct PressWatch {
  int shown = 0;     // presses whose menu reached the screen
  int timedOut = 0;  // presses ended by the safety timer instead
  bool ended = false;
  std::function<void(HMENU)> onShown;
};
PressWatch* g_watch;

HMENU TrackedMenu(LPARAM idleParam) {
  HWND menuWindow = reinterpret_cast<HWND>(idleParam);
  if (IsWindow(menuWindow)) return reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
  return reinterpret_cast<HMENU>(idleParam);
}

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ENTERIDLE && wParam == MSGF_MENU && g_watch && !g_watch->ended) {
    g_watch->ended = true;
    ++g_watch->shown;
    if (g_watch->onShown) g_watch->onShown(TrackedMenu(lParam));
    EndMenu();
    return 0;
  }
  if (message == WM_TIMER && wParam == kSafetyTimer && g_watch && !g_watch->ended) {
    g_watch->ended = true;
    ++g_watch->timedOut;
    EndMenu();
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateOwnerWindow() { return kt::CreatePopupSizedWindow(L"KtProgramsOwner", OwnerProc); }

// One press of "All Programs" on folder, the tracked menu being closed as soon as it shows.
void Press(PressWatch& watch, const std::wstring& folder) {
  g_watch = &watch;
  watch.ended = false;
  SetTimer(g_mainWnd, kSafetyTimer, 10000, nullptr);
  ShowProgramsMenuFor(folder);
  KillTimer(g_mainWnd, kSafetyTimer);
  g_watch = nullptr;
}

// --- reading a menu back ---

// One line per item, submenus indented by two spaces: "Label #id" for a file item,
// "Label >" for a folder item; " (no icon)" when the item has no bitmap.
void DescribeInto(HMENU menu, const std::wstring& indent, std::wstring* text) {
  int count = GetMenuItemCount(menu);
  for (int position = 0; position < count; ++position) {
    wchar_t label[1024] = L"";
    MENUITEMINFOW item = {};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_STRING | MIIM_ID | MIIM_SUBMENU | MIIM_CHECKMARKS;
    item.dwTypeData = label;
    item.cch = 1024;
    GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &item);
    *text += indent + label;
    *text += item.hSubMenu ? std::wstring(L" >") : L" #" + std::to_wstring(item.wID);
    if (GetObjectType(item.hbmpUnchecked) != OBJ_BITMAP) *text += L" (no icon)";
    *text += L"\n";
    if (item.hSubMenu) DescribeInto(item.hSubMenu, indent + L"  ", text);
  }
}

std::wstring Describe(HMENU menu) {
  std::wstring text;
  DescribeInto(menu, L"", &text);
  return text;
}

// Builds one press's menu of folder and returns its description; the menu is freed again.
std::wstring BuildAndDescribe(const std::wstring& folder) {
  HMENU root = CreatePopupMenu();
  BuildProgramsMenu(folder, L"*", root);
  std::wstring text = Describe(root);
  DestroyProgramsMenu(root);
  return text;
}

// --- making trees ---

void Touch(const std::wstring& path) { kt::WriteTextFile(path, "x"); }

void MakeFolder(const std::wstring& path) { CreateDirectoryW(path.c_str(), nullptr); }

void MakeFilesIn(const std::wstring& folder, const std::vector<std::wstring>& names) {
  MakeFolder(folder);
  for (const std::wstring& name : names) Touch(folder + L"\\" + name);
}

class ProgramsMenu : public ::testing::Test {
 protected:
  void SetUp() override {
    g_mainWnd = CreateOwnerWindow();
    ASSERT_NE(nullptr, g_mainWnd);
    root_ = kt::MakeTempDir(L"programs");
    ASSERT_FALSE(root_.empty());
  }
  void TearDown() override {
    DestroyWindow(g_mainWnd);
    g_mainWnd = nullptr;
    kt::RemoveTreeWithLinks(root_);
  }
  std::wstring root_;
};

TEST_F(ProgramsMenu, MirrorsTheFolderTreeWithShortenedLabelsAndTheFourNamesLeftOut) {
  ASSERT_TRUE(kt::MakeShortcut(root_ + L"\\App.lnk", kt::RecorderExe()));
  kt::WriteTextFile(root_ + L"\\Site.url", "[InternetShortcut]\r\nURL=http://example.com/\r\n");
  Touch(root_ + L"\\Readme.txt");
  Touch(root_ + L"\\Tool.lnk.bak");
  Touch(root_ + L"\\Tom & Jerry.txt");
  Touch(root_ + L"\\desktop.ini");
  Touch(root_ + L"\\Secret.txt");
  ASSERT_TRUE(
      SetFileAttributesW((root_ + L"\\Secret.txt").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  ASSERT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
            GetFileAttributesW((root_ + L"\\Secret.txt").c_str()) &
                (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  MakeFilesIn(root_ + L"\\Tools.lnk", {L"Inner.txt"});
  MakeFolder(root_ + L"\\Empty");
  MakeFolder(root_ + L"\\Nest");
  MakeFilesIn(root_ + L"\\Nest\\Deeper", {L"Deepest.txt"});
  // The file system ignores case, so each case variant needs a folder of its own.
  MakeFilesIn(root_ + L"\\Upper", {L"Desktop.ini", L"Kept.txt"});
  MakeFilesIn(root_ + L"\\Caps", {L"DESKTOP.INI"});
  MakeFilesIn(root_ + L"\\Mixed", {L"desktop.INI"});

  EXPECT_EQ(
      L"App #1\n"
      L"Caps >\n"
      L"  DESKTOP.INI #3\n"
      L"Empty >\n"
      L"Mixed >\n"
      L"  desktop.INI #6\n"
      L"Nest >\n"
      L"  Deeper >\n"
      L"    Deepest.txt #9\n"
      L"Readme.txt #10\n"
      L"Secret.txt #11\n"
      L"Site.url #12\n"
      L"Tom & Jerry.txt #13\n"
      L"Tool.lnk #14\n"
      L"Tools >\n"
      L"  Inner.txt #16\n"
      L"Upper >\n"
      L"  Kept.txt #18\n",
      BuildAndDescribe(root_));
  EXPECT_EQ(18, g_lastMenuId);
  EXPECT_EQ(11u, g_programEntries.size());
  EXPECT_EQ(root_ + L"\\App.lnk", FindProgramPath(1));
  EXPECT_EQ(root_ + L"\\Caps\\DESKTOP.INI", FindProgramPath(3));
  EXPECT_EQ(root_ + L"\\Nest\\Deeper\\Deepest.txt", FindProgramPath(9));
  EXPECT_EQ(root_ + L"\\Tom & Jerry.txt", FindProgramPath(13));
  EXPECT_EQ(root_ + L"\\Tool.lnk.bak", FindProgramPath(14));
  EXPECT_EQ(root_ + L"\\Tools.lnk\\Inner.txt", FindProgramPath(16));
}

TEST_F(ProgramsMenu, FoldersConsumeNumbersAndTheNextPressContinuesTheNumbering) {
  std::wstring first = root_ + L"\\First";
  MakeFolder(first);
  MakeFilesIn(first + L"\\Alpha", {L"a1.txt", L"a2.txt", L"a3.txt"});
  for (int i = 1; i <= 10; ++i)
    Touch(first + L"\\File" + (i < 10 ? L"0" : L"") + std::to_wstring(i) + L".txt");
  MakeFilesIn(first + L"\\Zulu", {L"z1.txt", L"z2.txt", L"z3.txt"});
  std::wstring second = root_ + L"\\Second";
  MakeFilesIn(second, {L"One.txt", L"Two.txt"});

  EXPECT_EQ(
      L"Alpha >\n"
      L"  a1.txt #2\n"
      L"  a2.txt #3\n"
      L"  a3.txt #4\n"
      L"File01.txt #5\n"
      L"File02.txt #6\n"
      L"File03.txt #7\n"
      L"File04.txt #8\n"
      L"File05.txt #9\n"
      L"File06.txt #10\n"
      L"File07.txt #11\n"
      L"File08.txt #12\n"
      L"File09.txt #13\n"
      L"File10.txt #14\n"
      L"Zulu >\n"
      L"  z1.txt #16\n"
      L"  z2.txt #17\n"
      L"  z3.txt #18\n",
      BuildAndDescribe(first));
  EXPECT_EQ(18, g_lastMenuId);
  EXPECT_EQ(16u, g_programEntries.size());

  // The second press as the button makes it: the menu that reaches the screen.
  PressWatch watch;
  std::wstring shown;
  watch.onShown = [&](HMENU menu) { shown = Describe(menu); };
  Press(watch, second);
  EXPECT_EQ(1, watch.shown);
  EXPECT_EQ(L"One.txt #19\nTwo.txt #20\n", shown);
  EXPECT_EQ(20, g_lastMenuId);

  EXPECT_EQ(first + L"\\Alpha\\a1.txt", FindProgramPath(2));
  EXPECT_EQ(first + L"\\File10.txt", FindProgramPath(14));
  EXPECT_EQ(first + L"\\Zulu\\z3.txt", FindProgramPath(18));
  EXPECT_EQ(second + L"\\One.txt", FindProgramPath(19));
  EXPECT_EQ(second + L"\\Two.txt", FindProgramPath(20));
  for (int unknown : {0, 1, 15, 21, 5005, 65535}) EXPECT_EQ(L"", FindProgramPath(unknown)) << unknown;
}

TEST_F(ProgramsMenu, IdsSkipTheFixedCommandsAndStartOverPastSixteenBits) {
  std::wstring four = root_ + L"\\Four";
  MakeFilesIn(four, {L"f1.txt", L"f2.txt", L"f3.txt", L"f4.txt"});
  std::wstring two = root_ + L"\\Two";
  MakeFilesIn(two, {L"t1.txt", L"t2.txt"});

  g_lastMenuId = 4997;
  EXPECT_EQ(L"f1.txt #4998\nf2.txt #4999\nf3.txt #5006\nf4.txt #5007\n", BuildAndDescribe(four));
  EXPECT_EQ(5007, g_lastMenuId);

  // A run that has gone through the whole space: the next press starts over at 1 and the
  // entries of the finished presses go.
  g_lastMenuId = 65533;
  EXPECT_EQ(L"f1.txt #65534\nf2.txt #65535\nf3.txt #1\nf4.txt #2\n", BuildAndDescribe(four));
  EXPECT_EQ(2, g_lastMenuId);
  EXPECT_EQ(4u, g_programEntries.size());
  EXPECT_EQ(L"", FindProgramPath(4998));
  EXPECT_EQ(four + L"\\f3.txt", FindProgramPath(1));

  // Later presses come round to that press's high numbers again before they start over:
  // the newest item with an id is the one it opens.
  g_lastMenuId = 65532;
  EXPECT_EQ(L"t1.txt #65533\nt2.txt #65534\n", BuildAndDescribe(two));
  EXPECT_EQ(two + L"\\t2.txt", FindProgramPath(65534));
  EXPECT_EQ(four + L"\\f2.txt", FindProgramPath(65535));
  EXPECT_EQ(four + L"\\f4.txt", FindProgramPath(2));
}

TEST_F(ProgramsMenu, FolderLinksAreWalkedButNeverBackIntoAFolderBeingWalked) {
  MakeFilesIn(root_ + L"\\A", {L"inner.txt"});
  Touch(root_ + L"\\B.txt");
  MakeFilesIn(root_ + L"\\C", {L"c.txt"});
  if (!kt::MakeFolderLink(root_ + L"\\A\\Loop", root_)) GTEST_SKIP() << "no way to make a folder link here";
  ASSERT_TRUE(kt::MakeFolderLink(root_ + L"\\A\\Self", root_ + L"\\A"));
  ASSERT_TRUE(kt::MakeFolderLink(root_ + L"\\A\\ToC", root_ + L"\\C"));

  EXPECT_EQ(
      L"A >\n"
      L"  inner.txt #2\n"
      L"  Loop >\n"
      L"  Self >\n"
      L"  ToC >\n"
      L"    c.txt #6\n"
      L"B.txt #7\n"
      L"C >\n"
      L"  c.txt #9\n",
      BuildAndDescribe(root_));
  EXPECT_EQ(root_ + L"\\A\\ToC\\c.txt", FindProgramPath(6));
  EXPECT_EQ(root_ + L"\\C\\c.txt", FindProgramPath(9));
}

TEST_F(ProgramsMenu, FoldersBeyondThePathLimitShowEmpty) {
  // Names sized so that the second folder's search string fits in 259 characters and the
  // third one's does not.
  std::wstring outer = L"P" + std::wstring(200 - root_.size() - 2, L'p');
  std::wstring middle = L"S" + std::wstring(49, L's');
  std::wstring inner = L"T" + std::wstring(9, L't');
  std::wstring outerPath = root_ + L"\\" + outer;
  ASSERT_EQ(200u, outerPath.size());
  std::wstring longPrefix = L"\\\\?\\";
  MakeFolder(outerPath);
  MakeFolder(longPrefix + outerPath + L"\\" + middle);
  Touch(longPrefix + outerPath + L"\\" + middle + L"\\in-s.txt");
  MakeFolder(longPrefix + outerPath + L"\\" + middle + L"\\" + inner);
  Touch(longPrefix + outerPath + L"\\" + middle + L"\\" + inner + L"\\in-t.txt");
  ASSERT_TRUE(kt::FileExists(longPrefix + outerPath + L"\\" + middle + L"\\" + inner + L"\\in-t.txt"));

  EXPECT_EQ(outer + L" >\n  " + middle + L" >\n    in-s.txt #3\n    " + inner + L" >\n",
            BuildAndDescribe(root_));
  EXPECT_EQ(outerPath + L"\\" + middle + L"\\in-s.txt", FindProgramPath(3));
}

// Under Wine the shell's icon lookup and the drawing of the icon cost milliseconds per item, too
// slow for 100,000 items in one test. This stand-in answers at once as the shell does for a path
// it cannot resolve (no image list), so each item still gets its real bitmap, a plain square.
DWORD_PTR WINAPI UnresolvedFileInfo(LPCWSTR, DWORD, SHFILEINFOW* info, UINT, UINT) {
  info->iIcon = 0;
  return 0;
}

std::vector<HMENU> g_menusMade;
std::vector<HGDIOBJ> g_bitmapsMade;
size_t g_bitmapsDeleted;
decltype(&CreatePopupMenu) g_realCreatePopupMenu;
decltype(&CreateCompatibleBitmap) g_realCreateCompatibleBitmap;
decltype(&DeleteObject) g_realDeleteObject;

HMENU WINAPI CountingCreatePopupMenu() {
  HMENU menu = g_realCreatePopupMenu();
  g_menusMade.push_back(menu);
  return menu;
}

HBITMAP WINAPI CountingCreateCompatibleBitmap(HDC dc, int width, int height) {
  HBITMAP bitmap = g_realCreateCompatibleBitmap(dc, width, height);
  g_bitmapsMade.push_back(bitmap);
  return bitmap;
}

BOOL WINAPI CountingDeleteObject(HGDIOBJ object) {
  if (GetObjectType(object) == OBJ_BITMAP) ++g_bitmapsDeleted;
  return g_realDeleteObject(object);
}

// A handle value may come back for a later object: count each live value once.
size_t LiveMenus() {
  std::set<HMENU> live;
  for (HMENU menu : g_menusMade)
    if (IsMenu(menu)) live.insert(menu);
  return live.size();
}

size_t LiveBitmaps() {
  std::set<HGDIOBJ> live;
  for (HGDIOBJ bitmap : g_bitmapsMade)
    if (GetObjectType(bitmap) == OBJ_BITMAP) live.insert(bitmap);
  return live.size();
}

TEST_F(ProgramsMenu, RepeatedPressesLeaveNoMenuOrBitmapBehind) {
  // 10 folders of 99 files: 1,000 items, 11 menus per press.
  for (int folder = 0; folder < 10; ++folder) {
    std::wstring path = root_ + L"\\Folder" + std::to_wstring(folder);
    MakeFolder(path);
    for (int file = 0; file < 99; ++file)
      Touch(path + L"\\File" + (file < 10 ? L"0" : L"") + std::to_wstring(file) + L".txt");
  }
  ASSERT_NE(nullptr,
            kt::PatchImport("shell32.dll", "SHGetFileInfoW", reinterpret_cast<void*>(UnresolvedFileInfo)));
  g_realCreatePopupMenu = reinterpret_cast<decltype(&CreatePopupMenu)>(
      kt::PatchImport("user32.dll", "CreatePopupMenu", reinterpret_cast<void*>(CountingCreatePopupMenu)));
  g_realCreateCompatibleBitmap = reinterpret_cast<decltype(&CreateCompatibleBitmap)>(kt::PatchImport(
      "gdi32.dll", "CreateCompatibleBitmap", reinterpret_cast<void*>(CountingCreateCompatibleBitmap)));
  g_realDeleteObject = reinterpret_cast<decltype(&DeleteObject)>(
      kt::PatchImport("gdi32.dll", "DeleteObject", reinterpret_cast<void*>(CountingDeleteObject)));
  ASSERT_TRUE(g_realCreatePopupMenu && g_realCreateCompatibleBitmap && g_realDeleteObject);

  PressWatch watch;
  std::vector<size_t> menusWhileShown, bitmapsWhileShown;
  watch.onShown = [&](HMENU) {
    menusWhileShown.push_back(LiveMenus());
    bitmapsWhileShown.push_back(g_bitmapsMade.size() - g_bitmapsDeleted);
  };
  for (int press = 0; press < 100; ++press) Press(watch, root_);

  EXPECT_EQ(100, watch.shown);
  EXPECT_EQ(0, watch.timedOut);
  EXPECT_EQ(std::vector<size_t>(100, 11), menusWhileShown);
  EXPECT_EQ(std::vector<size_t>(100, 1000), bitmapsWhileShown);
  EXPECT_EQ(1100u, g_menusMade.size());
  EXPECT_EQ(100000u, g_bitmapsMade.size());
  EXPECT_EQ(100000u, g_bitmapsDeleted);
  EXPECT_EQ(0u, LiveMenus());
  EXPECT_EQ(0u, LiveBitmaps());

  // 100,000 numbers: the space of 65,529 is spent once, in press 66, which drops presses 1-65.
  EXPECT_EQ(34477, g_lastMenuId);
  EXPECT_EQ(34650u, g_programEntries.size());
  EXPECT_EQ(root_ + L"\\Folder9\\File98.txt", FindProgramPath(34477));
}

}  // namespace
