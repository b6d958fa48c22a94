// The pinned items loader on hostile StartItems folders: odd names, 255-character names, a folder
// link to its own ancestor and a few thousand entries. Every item it shows must carry its file's
// name and open that file.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "app/state.h"
#include "support/pinned_tree.h"
#include "support/test_files.h"
#include "support/wine_test.h"

namespace {

class BadInputPinned : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = kt::CreateTreeHost();
    ASSERT_NE(nullptr, host_);
    root_ = kt::MakeTempDir(L"bad-pinned");
    ASSERT_FALSE(root_.empty());
    startItems_ = root_ + L"\\StartItems";
    ASSERT_TRUE(kt::MakeFolderAnyLength(startItems_));
  }
  void TearDown() override {
    kt::DestroyTreeHost(host_);
    kt::RemoveTreeWithLinks(root_);
  }

  std::wstring Entry(const std::wstring& name) {
    std::wstring path = startItems_ + L"\\" + name;
    EXPECT_TRUE(kt::MakeEntryAnyLength(path)) << "could not make " << path.size() << "-character path";
    return path;
  }

  // Loads the folder and checks every item: its parameter names a stored path of a file in the
  // folder that exists, and its text is that file's name as shown. Returns the items' paths.
  std::set<std::wstring> LoadAndCheck(DWORD timeoutMs) {
    EXPECT_TRUE(kt::RunLoaderThread(startItems_ + L"\\", timeoutMs)) << "the loader did not end";
    std::set<std::wstring> paths;
    for (const kt::TreeItem& item : kt::ReadTreeItems(g_treeWnd)) {
      std::wstring path;
      EXPECT_TRUE(CopyPinnedPath(static_cast<int>(item.param), &path)) << "no path for item " << item.param;
      EXPECT_TRUE(kt::ExistsAnyLength(path)) << "item " << item.param << " opens a missing file";
      EXPECT_EQ(startItems_, kt::ParentFolder(path)) << "item " << item.param << " opens a file elsewhere";
      EXPECT_EQ(kt::ShownName(kt::LeafName(path)), item.text)
          << "item " << item.param << " is labelled wrongly";
      EXPECT_TRUE(paths.insert(path).second) << "two items open the same file";
    }
    EXPECT_EQ(static_cast<int>(paths.size()), PinnedPathCount()) << "a stored path has no item";
    return paths;
  }

  HWND host_ = nullptr;
  std::wstring root_, startItems_;
};

TEST_F(BadInputPinned, HostileNamesAndALoopLinkShowTheirNamesAndOpenTheirOwnFiles) {
  std::set<std::wstring> expected;
  for (const std::wstring& name : kt::HostileFileNames()) expected.insert(Entry(name));
  std::wstring longFolder = startItems_ + L"\\" + std::wstring(255, L'F');
  ASSERT_TRUE(kt::MakeFolderAnyLength(longFolder));
  expected.insert(longFolder);
  if (kt::MakeFolderLink(startItems_ + L"\\Up & Out", root_)) expected.insert(startItems_ + L"\\Up & Out");

  EXPECT_EQ(expected, LoadAndCheck(30000));
  // Literal texts for a few: the shortcut loses ".lnk", the 255-character shortcut keeps 251.
  std::set<std::wstring> texts;
  for (const kt::TreeItem& item : kt::ReadTreeItems(g_treeWnd)) texts.insert(item.text);
  EXPECT_EQ(1u, texts.count(L"\xD835\xDD4F\xD835\xDD5C"));
  EXPECT_EQ(1u, texts.count(L"\xD83D\xDC26 Bird.txt"));
  EXPECT_EQ(1u, texts.count(L"\x202Egnp.txt"));
  EXPECT_EQ(1u, texts.count(L"&"));
  EXPECT_EQ(1u, texts.count(std::wstring(251, L'S')));
}

TEST_F(BadInputPinned, TwoThousandEntriesEachOpenTheirOwnFile) {
  // Each entry costs an icon lookup of several milliseconds under Wine.
  constexpr int kEntries = 2000;
  std::set<std::wstring> expected;
  for (int i = 0; i < kEntries; ++i) {
    wchar_t name[48];
    swprintf_s(name, L"Pin %04d \x05E9&\xD83D\xDC26.txt", i);
    expected.insert(Entry(name));
  }
  EXPECT_EQ(expected, LoadAndCheck(80000));
}

}  // namespace
