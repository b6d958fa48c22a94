// The pinned items loader against a real tree control and real folders made by each test.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "app/startup.h"
#include "app/state.h"
#include "pinned/pinned_items.h"
#include "support/pinned_tree.h"
#include "support/wine_test.h"

namespace {

struct Expected {
  const wchar_t* text;
  const wchar_t* name;
};

void ExpectListing(const std::wstring& folder, const std::vector<Expected>& expected, int firstParam) {
  std::vector<kt::TreeItem> items = kt::ReadTreeItems(g_treeWnd);
  std::vector<std::wstring> paths = kt::PinnedPaths();
  ASSERT_EQ(expected.size(), items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(expected[i].text, items[i].text);
    EXPECT_EQ(firstParam + static_cast<int>(i), items[i].param);
    EXPECT_EQ(items[i].image, items[i].selectedImage);
    ASSERT_LT(static_cast<size_t>(items[i].param), paths.size());
    EXPECT_EQ(folder + expected[i].name, paths[static_cast<size_t>(items[i].param)]);
  }
}

TEST(PinnedLoader, ListsEveryEntryInFolderOrderWithShortcutNamesShortened) {
  std::wstring dir = kt::MakeTempDir(L"pinned");
  ASSERT_TRUE(kt::MakeShortcut(dir + L"\\Notepad.lnk", kt::RecorderExe()));
  ASSERT_TRUE(kt::MakeShortcut(dir + L"\\Mail.lnk", kt::RecorderExe()));
  kt::WriteTextFile(dir + L"\\Mail", "a file with the shortcut's shortened name");
  kt::WriteTextFile(dir + L"\\Readme.txt", "readme");
  kt::WriteTextFile(dir + L"\\notes.lnk.txt", "notes");
  kt::WriteTextFile(dir + L"\\Desktop.ini", "[.ShellClassInfo]");
  kt::WriteTextFile(dir + L"\\Secret.txt", "hidden and system");
  SetFileAttributesW((dir + L"\\Secret.txt").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  ASSERT_TRUE(CreateDirectoryW((dir + L"\\Tools").c_str(), nullptr));
  kt::WriteTextFile(dir + L"\\Tools\\Inner.txt", "not listed: the tree is flat");

  HWND host = kt::CreateTreeHost();
  SetFocus(g_treeWnd);
  std::wstring folder = dir + L"\\";
  ASSERT_TRUE(kt::RunLoaderThread(folder, 60000));

  ExpectListing(folder,
                {{L"Desktop.ini", L"Desktop.ini"},
                 {L"Mail", L"Mail"},
                 {L"Mail", L"Mail.lnk"},
                 {L"Notepad", L"Notepad.lnk"},
                 {L"notes.lnk", L"notes.lnk.txt"},
                 {L"Readme.txt", L"Readme.txt"},
                 {L"Secret.txt", L"Secret.txt"},
                 {L"Tools", L"Tools"}},
                0);
  EXPECT_EQ(8, PinnedPathCount());
  for (const kt::TreeItem& item : kt::ReadTreeItems(g_treeWnd)) EXPECT_NE(-1, item.image) << item.text;
  EXPECT_EQ(nullptr, TreeView_GetSelection(g_treeWnd));
  kt::DestroyTreeHost(host);
  kt::RemoveTree(dir);
}

TEST(PinnedLoader, LowerCaseDesktopIniAndDotEntriesAreLeftOut) {
  std::wstring dir = kt::MakeTempDir(L"pinned");
  kt::WriteTextFile(dir + L"\\desktop.ini", "[.ShellClassInfo]");
  kt::WriteTextFile(dir + L"\\b.txt", "b");
  kt::WriteTextFile(dir + L"\\a.txt", "a");

  HWND host = kt::CreateTreeHost();
  std::wstring folder = dir + L"\\";
  ASSERT_TRUE(kt::RunLoaderThread(folder, 60000));
  ExpectListing(folder, {{L"a.txt", L"a.txt"}, {L"b.txt", L"b.txt"}}, 0);
  EXPECT_EQ(2, PinnedPathCount());
  kt::DestroyTreeHost(host);
  kt::RemoveTree(dir);
}

HICON ShellLibraryIcon46() {
  wchar_t library[MAX_PATH];
  ExpandEnvironmentStringsW(L"%windir%\\system32\\shell32.dll", library, MAX_PATH);
  return ExtractIconW(GetModuleHandleW(nullptr), library, 46);
}

TEST(PinnedLoader, WindowsUpdateItemsGetTheShellLibraryIcon) {
  // The rule is case-sensitive, and the file system is not: the lower-case name needs a folder
  // of its own.
  std::wstring updates = kt::MakeTempDir(L"pinned");
  ASSERT_TRUE(kt::MakeShortcut(updates + L"\\Windows Update.lnk", kt::RecorderExe()));
  ASSERT_TRUE(kt::MakeShortcut(updates + L"\\Check for Windows Updates.lnk", kt::RecorderExe()));
  std::wstring lowerCase = kt::MakeTempDir(L"pinned");
  ASSERT_TRUE(kt::MakeShortcut(lowerCase + L"\\windows update.lnk", kt::RecorderExe()));

  HICON reference = ShellLibraryIcon46();
  ASSERT_NE(nullptr, reference);
  std::vector<unsigned> expected = kt::IconPixels(reference);
  DestroyIcon(reference);

  HWND host = kt::CreateTreeHost();
  ASSERT_TRUE(kt::RunLoaderThread(updates + L"\\", 60000));
  ExpectListing(updates + L"\\",
                {{L"Check for Windows Updates", L"Check for Windows Updates.lnk"},
                 {L"Windows Update", L"Windows Update.lnk"}},
                0);
  HIMAGELIST images = TreeView_GetImageList(g_treeWnd, TVSIL_NORMAL);
  for (const kt::TreeItem& item : kt::ReadTreeItems(g_treeWnd)) {
    ASSERT_NE(-1, item.image) << item.text;
    // Stored in the list and drawn back, channels may differ by a rounding step.
    EXPECT_EQ(0, kt::DifferingPixels(kt::ImagePixels(images, item.image), expected)) << item.text;
  }

  // A second pass: positions go on after the first pass's paths.
  kt::DestroyTreeHost(host);
  host = kt::CreateTreeHost();
  ASSERT_TRUE(kt::RunLoaderThread(lowerCase + L"\\", 60000));
  ExpectListing(lowerCase + L"\\", {{L"windows update", L"windows update.lnk"}}, 2);
  images = TreeView_GetImageList(g_treeWnd, TVSIL_NORMAL);
  kt::TreeItem own = kt::ReadTreeItems(g_treeWnd).front();
  ASSERT_NE(-1, own.image);
  std::vector<unsigned> ownPixels = kt::ImagePixels(images, own.image);
  EXPECT_LT(100, kt::DifferingPixels(ownPixels, expected));
  EXPECT_LT(100, kt::DifferingPixels(ownPixels, kt::IconPixels(nullptr)))
      << "the shortcut has an icon of its own";

  kt::DestroyTreeHost(host);
  kt::RemoveTree(updates);
  kt::RemoveTree(lowerCase);
}

// Icons handed out to the loader, and icons it destroyed, seen through this program's imports.
std::vector<HICON> g_iconsMade;
std::vector<HICON> g_iconsDestroyed;
decltype(&ImageList_GetIcon) g_realGetIcon;
decltype(&ExtractIconW) g_realExtractIcon;
decltype(&DestroyIcon) g_realDestroyIcon;

HICON WINAPI CountedGetIcon(HIMAGELIST images, int index, UINT flags) {
  HICON icon = g_realGetIcon(images, index, flags);
  if (icon) g_iconsMade.push_back(icon);
  return icon;
}
HICON WINAPI CountedExtractIcon(HINSTANCE instance, LPCWSTR file, UINT index) {
  HICON icon = g_realExtractIcon(instance, file, index);
  if (icon) g_iconsMade.push_back(icon);
  return icon;
}
BOOL WINAPI CountedDestroyIcon(HICON icon) {
  g_iconsDestroyed.push_back(icon);
  return g_realDestroyIcon(icon);
}

TEST(PinnedLoader, EveryIconIsDestroyedOnceTheListHoldsItsCopy) {
  std::wstring dir = kt::MakeTempDir(L"pinned");
  ASSERT_TRUE(kt::MakeShortcut(dir + L"\\Windows Update.lnk", kt::RecorderExe()));
  kt::WriteTextFile(dir + L"\\a.txt", "a");
  ASSERT_TRUE(CreateDirectoryW((dir + L"\\Tools").c_str(), nullptr));
  g_realGetIcon = reinterpret_cast<decltype(&ImageList_GetIcon)>(
      kt::PatchImport("comctl32.dll", "ImageList_GetIcon", reinterpret_cast<void*>(CountedGetIcon)));
  g_realExtractIcon = reinterpret_cast<decltype(&ExtractIconW)>(
      kt::PatchImport("shell32.dll", "ExtractIconW", reinterpret_cast<void*>(CountedExtractIcon)));
  g_realDestroyIcon = reinterpret_cast<decltype(&DestroyIcon)>(
      kt::PatchImport("user32.dll", "DestroyIcon", reinterpret_cast<void*>(CountedDestroyIcon)));
  ASSERT_TRUE(g_realGetIcon && g_realExtractIcon && g_realDestroyIcon);

  HWND host = kt::CreateTreeHost();
  ASSERT_TRUE(kt::RunLoaderThread(dir + L"\\", 60000));
  EXPECT_EQ(3u, g_iconsMade.size());
  EXPECT_EQ(g_iconsMade, g_iconsDestroyed);
  kt::DestroyTreeHost(host);
  kt::RemoveTree(dir);
}

TEST(PinnedLoader, EmptyMissingAndUnnamedFoldersGiveAnEmptyTree) {
  std::wstring empty = kt::MakeTempDir(L"pinned");
  // The current directory holds files: a pass that fell back on it would list them.
  std::wstring current = kt::MakeTempDir(L"pinned");
  kt::WriteTextFile(current + L"\\stray.txt", "must not be listed");
  SetCurrentDirectoryW(current.c_str());

  HWND host = kt::CreateTreeHost();
  SetFocus(g_treeWnd);
  for (const std::wstring& folder : {empty + L"\\", empty + L"\\Missing\\", std::wstring()}) {
    SCOPED_TRACE(folder);
    ImageList_Destroy(TreeView_SetImageList(g_treeWnd, nullptr, TVSIL_NORMAL));
    ASSERT_TRUE(kt::RunLoaderThread(folder, 60000));
    EXPECT_EQ(0, kt::TreeCount(g_treeWnd));
    EXPECT_NE(nullptr, TreeView_GetImageList(g_treeWnd, TVSIL_NORMAL))
        << "the image list is set all the same";
    EXPECT_EQ(nullptr, TreeView_GetSelection(g_treeWnd));
  }
  EXPECT_EQ(0, PinnedPathCount());
  kt::DestroyTreeHost(host);
  SetCurrentDirectoryW(kt::ExeDir().c_str());
  kt::RemoveTree(empty);
  kt::RemoveTree(current);
}

TEST(PinnedLoader, EntryPathsThatDoNotFitAreLeftOut) {
  // A folder path of 1010 characters: the search pattern fits the 1024-character buffer, an
  // entry's path fits only with a short name.
  std::wstring dir = kt::MakeTempDir(L"pinned");
  std::wstring deep = dir;
  while (deep.size() < 1009 - 1) {
    std::wstring part = L"\\" + std::wstring(std::min<size_t>(200, 1009 - 1 - deep.size() - 1), L'd');
    deep += part;
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr)) << deep.size();
  }
  ASSERT_EQ(1008u, deep.size());
  kt::WriteTextFile(deep + L"\\fits.txt", "1009 + 8 characters");
  kt::WriteTextFile(deep + L"\\does-not-fit.txt", "1009 + 16 characters");
  if (!kt::FileExists(deep + L"\\fits.txt")) GTEST_SKIP() << "this Wine refuses paths of this length";

  HWND host = kt::CreateTreeHost();
  std::wstring folder = deep + L"\\";
  ASSERT_TRUE(kt::RunLoaderThread(folder, 60000));
  ExpectListing(folder, {{L"fits.txt", L"fits.txt"}}, 0);
  // Wine's shell has no icon for a path this long; the item then shows none, and never asks
  // its parent for one (I_IMAGECALLBACK, -1).
  EXPECT_EQ(I_IMAGENONE, kt::ReadTreeItems(g_treeWnd).front().image);
  EXPECT_EQ(1, PinnedPathCount());
  kt::DestroyTreeHost(host);
  kt::RemoveTree(dir);
}

TEST(PinnedLoader, StartBuildsTheFolderFromTheHomeValuesAndLoadsIt) {
  kt::TestHome home = kt::MakeTestHome();
  ASSERT_TRUE(kt::MakeShortcut(home.startItems + L"\\Second.lnk", kt::RecorderExe()));
  kt::WriteTextFile(home.startItems + L"\\First.txt", "first");
  SetEnvironmentVariableW(L"homedrive", home.root.substr(0, 2).c_str());
  SetEnvironmentVariableW(L"homepath", home.root.substr(2).c_str());
  ReadHomeFolders();

  HWND host = kt::CreateTreeHost();
  StartPinnedItemsLoader();
  EXPECT_EQ(home.startItems + L"\\", std::wstring(g_pinnedDir));
  ASSERT_TRUE(kt::WaitFor([] { return kt::TreeCount(g_treeWnd) == 2; }, 60000));
  ExpectListing(home.startItems + L"\\", {{L"First.txt", L"First.txt"}, {L"Second", L"Second.lnk"}}, 0);
  kt::DestroyTreeHost(host);
  kt::RemoveTree(home.root);
}

// Runs the loader from start-up values whose folder path cannot be held, with a current
// directory holding a file that a pass over an empty folder path would list.
void ExpectNoFolderFor(const std::wstring& homeDrive, const std::wstring& homePath) {
  std::wstring current = kt::MakeTempDir(L"pinned");
  kt::WriteTextFile(current + L"\\stray.txt", "must not be listed");
  SetCurrentDirectoryW(current.c_str());
  SetEnvironmentVariableW(L"homedrive", homeDrive.c_str());
  SetEnvironmentVariableW(L"homepath", homePath.c_str());
  ReadHomeFolders();

  HWND host = kt::CreateTreeHost();
  StartPinnedItemsLoader();
  EXPECT_EQ(L"", std::wstring(g_pinnedDir));
  ASSERT_TRUE(kt::WaitFor([] { return TreeView_GetImageList(g_treeWnd, TVSIL_NORMAL) != nullptr; }, 60000));
  EXPECT_FALSE(kt::WaitFor([] { return kt::TreeCount(g_treeWnd) > 0; }, 1000));
  EXPECT_EQ(0, PinnedPathCount());
  kt::DestroyTreeHost(host);
  SetCurrentDirectoryW(kt::ExeDir().c_str());
  kt::RemoveTree(current);
}

TEST(PinnedLoader, HomeThatDoesNotFitWithTheFolderNamesGivesAnEmptyTree) {
  // Each value fits its own buffer; together with "\Documents\StartItems\" they do not.
  ExpectNoFolderFor(L"", L"\\" + std::wstring(1010, L'h'));
}

TEST(PinnedLoader, HomePathLongerThanItsBufferGivesAnEmptyTree) {
  // Start-up leaves such a value empty; the folder must not become "\Documents\StartItems\".
  ExpectNoFolderFor(L"", L"\\" + std::wstring(1100, L'h'));
}

TEST(PinnedClick, ParameterOutsideTheListOpensNothing) {
  std::wstring dir = kt::MakeTempDir(L"pinned");
  std::wstring log = kt::NewRecorderLog(dir);
  SetEnvironmentVariableW(L"KESTRELON_RECORDER_LOG", log.c_str());
  ASSERT_TRUE(kt::MakeShortcut(dir + L"\\Recorder.lnk", kt::RecorderExe(), L"pinned-click"));

  HWND host = kt::CreateTreeHost();
  ASSERT_TRUE(kt::RunLoaderThread(dir + L"\\", 60000));
  ASSERT_EQ(1u, kt::ReadTreeItems(g_treeWnd).size());
  // Items no loader pass would make: parameters past the end and below 0.
  for (LPARAM param : {LPARAM(1), LPARAM(-1), LPARAM(0x100000000)}) {
    TVINSERTSTRUCTW insert = {};
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = const_cast<wchar_t*>(L"Stray");
    insert.item.lParam = param;
    TreeView_InsertItem(g_treeWnd, &insert);
  }

  auto clickRow = [](int row) {
    int height = TreeView_GetItemHeight(g_treeWnd);
    POINT point = {200, row * height + height / 2};
    ClientToScreen(g_treeWnd, &point);
    // A click whose cursor was snapped back elsewhere, and which opened nothing, is made again.
    for (int attempt = 0; attempt < 5; ++attempt) {
      kt::PlaceCursor(point);
      OpenClickedPinnedItem();
      if (kt::CursorIsAt(point) || !IsWindowVisible(g_mainWnd)) break;
    }
  };
  MSG quit;
  for (int row : {1, 2, 3, 6}) {  // the three strays, and below the last item
    SCOPED_TRACE(row);
    clickRow(row);
    EXPECT_FALSE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_TRUE(IsWindowVisible(g_mainWnd));
  }
  EXPECT_FALSE(kt::WaitForLaunches(log, 1, 1000));

  clickRow(0);
  EXPECT_FALSE(IsWindowVisible(g_mainWnd));
  EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_TRUE(kt::WaitForLaunches(log, 1, 10000));
  std::vector<kt::Launch> launches = kt::ReadLaunches(log);
  ASSERT_EQ(1u, launches.size());
  EXPECT_NE(std::wstring::npos, launches[0].commandLine.find(L"pinned-click"));
  kt::DestroyTreeHost(host);
  kt::RemoveTree(dir);
}

}  // namespace
