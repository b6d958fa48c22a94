// kestrelon.exe as a process of its own: what only a whole run shows.
#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include <string>

namespace {

std::wstring Here(const wchar_t* name) {  // beside the tests, or in the trees tests/CMakeLists.txt made
  wchar_t exe[MAX_PATH];
  std::wstring path(exe, GetModuleFileNameW(nullptr, exe, MAX_PATH));
  return path.substr(0, path.find_last_of(L'\\') + 1) + name;
}

PROCESS_INFORMATION Start(const std::wstring& dir) {  // kestrelon.exe in that working directory
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION run = {};
  std::wstring line = L"kestrelon.exe";
  CreateProcessW(Here(L"kestrelon.exe").c_str(), &line[0], nullptr, nullptr, 0, 0, nullptr, dir.c_str(),
                 &startup, &run);
  return run;
}

int ExitCode(const PROCESS_INFORMATION& run) {  // -1 when it has not ended within ten seconds
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(run.hProcess, 10000) == WAIT_OBJECT_0) GetExitCodeProcess(run.hProcess, &code);
  TerminateProcess(run.hProcess, 1);
  CloseHandle(run.hThread);
  CloseHandle(run.hProcess);
  return static_cast<int>(code);
}

template <class Condition>
bool Within10Seconds(Condition condition) {
  for (int i = 0; i < 1000 && !condition(); ++i) Sleep(10);
  return condition();
}

HWND Popup() {
  HWND popup = nullptr;
  Within10Seconds([&] { return (popup = FindWindowW(L"Kestrelon", nullptr)) && IsWindowVisible(popup); });
  return popup;
}

}  // namespace

// A popup off the taskbar, a second start that shows a popup of its own or leaves the first
// open, an Esc that does not end the run; every run exits 0.
TEST(EndToEnd, SecondStartAndEscEndTheRun) {
  PROCESS_INFORMATION first = Start(Here(L""));
  RECT placed = {}, expected = {0, 263, 410, 748};
  GetWindowRect(Popup(), &placed);
  EXPECT_TRUE(EqualRect(&expected, &placed));
  EXPECT_EQ(0, ExitCode(Start(Here(L""))));  // one that made a popup of its own would run on
  EXPECT_EQ(0, ExitCode(first));
  PROCESS_INFORMATION third = Start(Here(L""));
  PostMessageW(Popup(), WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(0, ExitCode(third));
}

// A second start that waits without bound for a popup that does not answer.
TEST(EndToEnd, SecondStartDoesNotHangOnAHungPopup) {
  PROCESS_INFORMATION popup = Start(Here(L""));
  ASSERT_NE(nullptr, Popup());
  SuspendThread(popup.hThread);  // the popup's one window thread: it answers nothing now
  EXPECT_EQ(0, ExitCode(Start(Here(L""))));
  ResumeThread(popup.hThread);
  PostMessageW(FindWindowW(L"Kestrelon", nullptr), WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(0, ExitCode(popup));
}

// A link that does not open its shortcut in the working directory, a launch that does not end
// the run.
TEST(EndToEnd, ComputerLinkOpensItsShortcut) {
  std::wstring dir = Here(L"..\\trees\\launch"), log = dir + L"\\launched.txt";
  DeleteFileW(log.c_str());
  CoInitialize(nullptr);
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  ASSERT_TRUE(
      SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))));
  link->SetPath(L"C:\\windows\\system32\\cmd.exe");
  link->SetArguments((L"/c echo launched> \"" + log + L"\"").c_str());
  ASSERT_TRUE(SUCCEEDED(link->QueryInterface(IID_PPV_ARGS(&file))) &&
              SUCCEEDED(file->Save((dir + L"\\Computer.lnk").c_str(), TRUE)));
  file->Release();
  link->Release();
  PROCESS_INFORMATION popup = Start(dir);
  POINT slot = {390, 255};  // upper half of "Computer", past its caption
  ClientToScreen(Popup(), &slot);
  HDC screen = GetDC(nullptr);  // the real cursor, placed again until the slot shows highlighted
  EXPECT_TRUE(Within10Seconds([&] {
    return SetCursorPos(slot.x, slot.y + 10) && GetPixel(screen, slot.x, slot.y) == RGB(0x9C, 0xB4, 0xCE);
  }));
  ReleaseDC(nullptr, screen);
  PostMessageW(Popup(), WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(0, ExitCode(popup));
  EXPECT_TRUE(Within10Seconds([&] { return GetFileAttributesW(log.c_str()) != INVALID_FILE_ATTRIBUTES; }));
}
