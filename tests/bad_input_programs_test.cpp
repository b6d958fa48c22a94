// The programs menu on hostile folder trees: odd names, paths past MAX_PATH, a folder link back
// to its own ancestor, an unreadable folder and a folder of a few thousand entries. The menu must
// show without crash or hang, and every item it shows must open its own file.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "app/state.h"
#include "programs/programs_menu.h"
#include "support/test_files.h"
#include "support/wine_test.h"

namespace {

// One item of a shown menu: its label, its id (file items) and the folder its submenu chain
// stands for.
struct ShownItem {
  std::wstring folder;
  std::wstring label;
  int id;
  bool isFolder;
};

void CollectItems(HMENU menu, const std::wstring& folder, std::vector<ShownItem>* items) {
  int count = GetMenuItemCount(menu);
  for (int position = 0; position < count; ++position) {
    std::vector<wchar_t> label(1024, L'\0');
    MENUITEMINFOW item = {};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_STRING | MIIM_ID | MIIM_SUBMENU;
    item.dwTypeData = label.data();
    item.cch = 1024;
    GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &item);
    items->push_back({folder, label.data(), static_cast<int>(item.wID), item.hSubMenu != nullptr});
    if (item.hSubMenu) CollectItems(item.hSubMenu, folder + L"\\" + label.data(), items);
  }
}

// --- the owner window, which closes each tracked menu once it has been read ---

std::vector<ShownItem>* g_shown;
std::wstring g_shownRoot;
int g_timedOut;
constexpr UINT_PTR kSafetyTimer = 1;

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ENTERIDLE && wParam == MSGF_MENU && g_shown) {
    HWND menuWindow = reinterpret_cast<HWND>(lParam);
    HMENU menu = IsWindow(menuWindow) ? reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0))
                                      : reinterpret_cast<HMENU>(lParam);
    CollectItems(menu, g_shownRoot, g_shown);
    g_shown = nullptr;
    EndMenu();
    return 0;
  }
  if (message == WM_TIMER && wParam == kSafetyTimer && g_shown) {
    g_shown = nullptr;
    ++g_timedOut;
    EndMenu();
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// A press on folder as the button makes it: walked, tracked (and read), freed.
std::vector<ShownItem> PressAndRead(const std::wstring& folder) {
  std::vector<ShownItem> shown;
  g_shown = &shown;
  g_shownRoot = folder;
  SetTimer(g_mainWnd, kSafetyTimer, 30000, nullptr);
  ShowProgramsMenuFor(folder);
  KillTimer(g_mainWnd, kSafetyTimer);
  g_shown = nullptr;
  return shown;
}

// Every file item opens the file its label and place in the menu name, and that file exists.
// Returns the paths of the file items.
std::set<std::wstring> ExpectItemsOpenTheirOwnFiles(const std::vector<ShownItem>& shown) {
  std::set<std::wstring> paths;
  for (const ShownItem& item : shown) {
    if (item.isFolder) continue;
    std::wstring path = FindProgramPath(item.id);
    EXPECT_TRUE(kt::ExistsAnyLength(path)) << "item #" << item.id << " opens a missing file";
    EXPECT_EQ(item.folder, kt::ParentFolder(path))
        << "item #" << item.id << " opens a file of another folder";
    EXPECT_EQ(item.label, kt::ShownName(kt::LeafName(path))) << "item #" << item.id << " is labelled wrongly";
    EXPECT_TRUE(paths.insert(path).second) << "two items open the same file";
  }
  return paths;
}

HWND CreateOwnerWindow() { return kt::CreatePopupSizedWindow(L"KtBadInputOwner", OwnerProc); }

class BadInputPrograms : public ::testing::Test {
 protected:
  void SetUp() override {
    kt::MoveCursor(900, 100);
    g_mainWnd = CreateOwnerWindow();
    ASSERT_NE(nullptr, g_mainWnd);
    root_ = kt::MakeTempDir(L"bad-programs");
    ASSERT_FALSE(root_.empty());
  }
  void TearDown() override {
    DestroyWindow(g_mainWnd);
    g_mainWnd = nullptr;
    kt::RemoveTreeWithLinks(root_);
  }
  // Makes root_\relative; a name ending in .lnk is a shortcut.
  std::wstring Entry(const std::wstring& relative) {
    std::wstring path = root_ + L"\\" + relative;
    EXPECT_TRUE(kt::MakeEntryAnyLength(path)) << "could not make " << path.size() << "-character path";
    return path;
  }
  std::wstring Folder(const std::wstring& relative) {
    std::wstring path = root_ + L"\\" + relative;
    EXPECT_TRUE(kt::MakeFolderAnyLength(path));
    return path;
  }
  std::wstring root_;
};

TEST_F(BadInputPrograms, HostileNamesLongPathsAndALoopShowAndOpenTheirOwnFiles) {
  std::set<std::wstring> expected;
  for (const std::wstring& name : kt::HostileFileNames()) expected.insert(Entry(name));
  // Folders with hostile names of their own.
  std::wstring forest = Folder(L"\xD83C\xDF32 Forest");
  expected.insert(Entry(L"\xD83C\xDF32 Forest\\\xD83C\xDF33.txt"));
  std::wstring hebrew = Folder(L"\x05EA\x05D9\x05E7\x05D9\x05D4 &Co");
  expected.insert(Entry(L"\x05EA\x05D9\x05E7\x05D9\x05D4 &Co\\a&b.txt"));
  // Nesting past 260 characters: each level has a file; the walk stops where a folder's search
  // string would pass MAX_PATH - 1, so the deeper levels show as empty folders.
  std::wstring level = L"N" + std::wstring(59, L'n');
  std::wstring nested, firstUnwalked;
  for (int depth = 1; depth <= 6; ++depth) {
    nested += (depth > 1 ? L"\\" : L"") + level;
    Folder(nested);
    std::wstring file = Entry(nested + L"\\f" + std::to_wstring(depth) + L".txt");
    if ((root_ + L"\\" + nested + L"\\*").size() <= MAX_PATH - 1) {
      expected.insert(file);
    } else if (firstUnwalked.empty()) {
      firstUnwalked = root_ + L"\\" + nested;
    }
  }
  ASSERT_GT((root_ + L"\\" + nested).size(), 300u);
  ASSERT_FALSE(firstUnwalked.empty());
  // A 255-character folder: its search string is too long, it shows empty.
  std::wstring longFolder = std::wstring(255, L'F');
  Folder(longFolder);
  Entry(longFolder + L"\\hidden by length.txt");
  // A folder link to its own ancestor and one to itself.
  Folder(L"Loop");
  expected.insert(Entry(L"Loop\\in loop.txt"));
  if (!kt::MakeFolderLink(root_ + L"\\Loop\\Up", root_)) GTEST_SKIP() << "no way to make a folder link here";
  ASSERT_TRUE(kt::MakeFolderLink(root_ + L"\\Loop\\Self", root_ + L"\\Loop"));

  std::vector<ShownItem> shown = PressAndRead(root_);
  EXPECT_EQ(0, g_timedOut) << "the menu never showed";
  std::set<std::wstring> opened = ExpectItemsOpenTheirOwnFiles(shown);
  EXPECT_EQ(expected, opened);

  // The folders are there with their whole names; the links are shown but not walked into.
  std::set<std::wstring> folders;
  for (const ShownItem& item : shown)
    if (item.isFolder) folders.insert(item.folder + L"\\" + item.label);
  EXPECT_EQ(1u, folders.count(forest));
  EXPECT_EQ(1u, folders.count(hebrew));
  EXPECT_EQ(1u, folders.count(root_ + L"\\" + longFolder));
  EXPECT_EQ(1u, folders.count(root_ + L"\\Loop\\Up"));
  EXPECT_EQ(1u, folders.count(root_ + L"\\Loop\\Self"));
  EXPECT_EQ(1u, folders.count(firstUnwalked)) << "the first folder too deep to walk is listed, empty";
  EXPECT_EQ(0u, folders.count(firstUnwalked + L"\\" + level)) << "nothing below it";
  for (const ShownItem& item : shown) {
    EXPECT_NE(0u, item.folder.find(root_ + L"\\Loop\\Up")) << "walked back into its own ancestor";
    EXPECT_NE(0u, item.folder.find(root_ + L"\\Loop\\Self")) << "walked into itself";
  }
}

TEST_F(BadInputPrograms, AnUnreadableFolderShowsEmptyAndTheRestStays) {
  Folder(L"Locked");
  Entry(L"Locked\\secret.txt");
  std::wstring open = Entry(L"open.txt");
  if (!kt::SetFolderUnreadable(root_ + L"\\Locked", true))
    GTEST_SKIP() << "no Unix side to take permissions away";
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((root_ + L"\\Locked\\*").c_str(), &found);
  bool readable = search != INVALID_HANDLE_VALUE;
  if (readable) FindClose(search);
  if (readable) {
    kt::SetFolderUnreadable(root_ + L"\\Locked", false);
    GTEST_SKIP() << "the folder stays readable: the tests run as root, whom Unix permissions do not stop";
  }

  std::vector<ShownItem> shown = PressAndRead(root_);
  kt::SetFolderUnreadable(root_ + L"\\Locked", false);
  EXPECT_EQ(0, g_timedOut);
  EXPECT_EQ(std::set<std::wstring>{open}, ExpectItemsOpenTheirOwnFiles(shown));
  ASSERT_EQ(2u, shown.size());
  EXPECT_TRUE(shown[0].isFolder);
  EXPECT_EQ(L"Locked", shown[0].label);
}

TEST_F(BadInputPrograms, TwoThousandEntriesShowAndOpenTheirOwnFiles) {
  // Each item costs the shell's icon lookup a few milliseconds under Wine.
  constexpr int kEntries = 2000;
  std::set<std::wstring> expected;
  for (int i = 0; i < kEntries; ++i) {
    wchar_t name[48];
    swprintf_s(name, L"Entry %04d &\xD83D\xDC26.txt", i);
    expected.insert(Entry(name));
  }
  std::vector<ShownItem> shown = PressAndRead(root_);
  EXPECT_EQ(0, g_timedOut) << "the menu never showed";
  EXPECT_EQ(static_cast<size_t>(kEntries), shown.size());
  EXPECT_EQ(expected, ExpectItemsOpenTheirOwnFiles(shown));
}

}  // namespace
