// The popup as a screen reader finds it through Active Accessibility, in-process and in a run of
// kestrelon.exe. Each test names the faults it catches.
#include <gtest/gtest.h>

#include <windows.h>

#include <oleacc.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cwchar>
#include <string>
#include <utility>

#include "app/startup.h"
#include "app/state.h"
#include "support.h"

namespace {

std::wstring g_log;  // what the stand-ins were asked
POINT g_cursor;      // what GetCursorPos reports, in screen coordinates

std::wstring Hex(LONG value) {
  wchar_t text[16];
  swprintf(text, 16, L"%#lx ", value);
  return text;
}
// clang-format off
void WINAPI FakePostQuitMessage(int code) { g_log += L"quit " + std::to_wstring(code) + L";"; }
BOOL WINAPI FakeShellExecuteExW(SHELLEXECUTEINFOW* r) { g_log += L"open " + std::wstring(r->lpFile) + L";"; return TRUE; }
BOOL WINAPI FakeGetCursorPos(POINT* point) { *point = g_cursor; return TRUE; }
void WINAPI FakeNotifyWinEvent(DWORD event, HWND window, LONG object, LONG child) {  // 0x800a: EVENT_OBJECT_STATECHANGE
  g_log += L"event " + Hex(LONG(event)) + (window == g_mainWnd ? L"popup " : L"? ") + std::to_wstring(object) + L" " + std::to_wstring(child) + L";";
}
// clang-format on
#define FAKE(function) PatchImport(#function, reinterpret_cast<void*>(Fake##function))

// A home, an account name (Wine's GetUserNameW reads WINEUSERNAME, which a new process sets
// afresh from the Linux user) and its picture, named as a run looks for it under Wine.
std::wstring SetUpAccount(const wchar_t* name, std::wstring* picture) {
  SetEnvironmentVariableW(L"homedrive", L"H:");
  SetEnvironmentVariableW(L"homepath", L"\\Users\\kes");
  if (name) SetEnvironmentVariableW(L"WINEUSERNAME", name);
  wchar_t user[256] = L"";
  DWORD size = 256;
  GetUserNameW(user, &size);
  *picture = L"C:\\ProgramData\\Microsoft\\User Account Pictures\\" + std::wstring(user) + L".bmp";
  SHCreateDirectoryExW(nullptr, L"C:\\ProgramData\\Microsoft\\User Account Pictures", nullptr);
  EXPECT_TRUE(CopyFileW(Beside(L"..\\trees\\demo-account.bmp").c_str(), picture->c_str(), FALSE));
  CoInitialize(nullptr);  // a client's apartment
  return user;
}

// What a client finds: the popup at (0, 263) on Wine's 1024 x 768 desktop, above its taskbar.
// clang-format off
std::wstring Listing(const std::wstring& user) {
  return L"0 client \"Start menu\" 0x100004 0 263 410 748 -\n1 window SysTreeView32\n2 window Button\n"
    L"3 graphic \"Account picture of " + user + L"\" 0x40 304 275 352 323 -\n4 link \"" + user + L"\" 0x500000 260 333 398 365 \"Open\"\n"
    L"5 link \"Documents\" 0x500000 260 369 398 401 \"Open\"\n6 link \"Pictures\" 0x500000 260 405 398 437 \"Open\"\n"
    L"7 link \"Music\" 0x500000 260 441 398 473 \"Open\"\n8 link \"Downloads\" 0x500000 260 477 398 509 \"Open\"\n"
    L"9 link \"Computer\" 0x500000 260 513 398 545 \"Open\"\n10 link \"Network\" 0x500000 260 549 398 581 \"Open\"\n"
    L"11 link \"Control Panel\" 0x500000 260 585 398 617 \"Open\"\n12 link \"Devices and Printers\" 0x500000 260 621 398 653 \"Open\"\n"
    L"13 link \"Run...\" 0x500000 260 657 398 689 \"Open\"\n14 window Button\n";
}
// clang-format on

VARIANT Id(LONG id, VARTYPE type = VT_I4) {
  VARIANT variant = {};
  variant.vt = type;
  variant.lVal = id;
  return variant;
}

// What accHitTest gives at a screen point: a child id, or the class of a child window.
std::wstring Hit(IAccessible* popup, LONG x, LONG y) {
  VARIANT hit = {};
  std::wstring row =
      std::to_wstring(x) + L" " + std::to_wstring(y) + L" " + Hex(popup->accHitTest(x, y, &hit));
  IAccessible* object = nullptr;
  HWND window = nullptr;
  wchar_t name[32] = L"";
  if (hit.vt == VT_DISPATCH && SUCCEEDED(hit.pdispVal->QueryInterface(IID_PPV_ARGS(&object)))) {
    WindowFromAccessibleObject(object, &window);
    object->Release();
  }
  GetClassNameW(window, name, 32);
  row += hit.vt == VT_I4 ? std::to_wstring(hit.lVal) : name;
  VariantClear(&hit);
  return row;
}

// The results of the calls a client makes with a child id: name, role, state, location, child,
// next, default action and doing it.
std::wstring Answers(IAccessible* popup, VARIANT id) {
  BSTR name = nullptr, action = nullptr;
  VARIANT answer = {};
  LONG at = 0;
  IDispatch* child = nullptr;
  HRESULT results[] = {popup->get_accName(id, &name),
                       popup->get_accRole(id, &answer),
                       popup->get_accState(id, &answer),
                       popup->accLocation(&at, &at, &at, &at, id),
                       popup->get_accChild(id, &child),
                       popup->accNavigate(NAVDIR_NEXT, id, &answer),
                       popup->get_accDefaultAction(id, &action),
                       popup->accDoDefaultAction(id)};
  SysFreeString(name);
  SysFreeString(action);
  std::wstring row;
  for (HRESULT result : results) row += Hex(result);
  return row + std::exchange(g_log, L"");
}

}  // namespace

// Any child missing, out of reading order, with a wrong role, name (the account's cut short as
// painted), state, screen rectangle or default action; no object for OBJID_CLIENT. A link hit
// on its right or bottom edge or in a band, the picture missed, a window or the popup answered
// otherwise than Windows' own object does. A state-change event missing, extra or for the wrong
// link, or no hot state; a default action that opens other than a click, or does not end the
// run. A bad child id that is taken, or acts; an object that answers once the popup is gone.
TEST(Accessibility, ChildrenHitTestsEventsAndActions) {
  std::wstring picture;
  SetUpAccount(L"Kestrel Tester-Longname", &picture);
  ASSERT_TRUE(OpenPopup(GetModuleHandleW(nullptr)));
  WaitFor([] { return !GetUpdateRect(g_mainWnd, nullptr, FALSE); }, 5000);  // the loader's tree filled
  for (void* original :
       {FAKE(PostQuitMessage), FAKE(ShellExecuteExW), FAKE(GetCursorPos), FAKE(NotifyWinEvent)})
    ASSERT_NE(nullptr, original);
  IAccessible* popup = nullptr;
  ASSERT_EQ(S_OK, AccessibleObjectFromWindow(g_mainWnd, OBJID_CLIENT, IID_PPV_ARGS(&popup)));
  EXPECT_EQ(Listing(L"Kestrel Tester-Longname"), AccessibleListing(g_mainWnd));
  // clang-format off
  for (const wchar_t* row : {L"300 340 0 4", L"397 364 0 4", L"398 340 0 0", L"300 365 0 0", L"300 368 0 0",
      L"300 369 0 5", L"304 275 0 3", L"351 322 0 3", L"352 300 0 0", L"100 400 0 SysTreeView32", L"100 670 0 Button",
      L"300 715 0 Button", L"280 290 0 0"}) {
    // clang-format on
    LONG x = 0, y = 0;
    swscanf(row, L"%ld %ld", &x, &y);
    EXPECT_EQ(row, Hit(popup, x, y));
  }
  // clang-format off
  struct MoveRow { POINT cursor; const wchar_t* events; };
  const MoveRow moves[] = {{{300, 250}, L""}, {{300, 340}, L"event 0x800a popup -4 4;"}, {{300, 360}, L""},
      {{300, 366}, L"event 0x800a popup -4 4;"}, {{300, 370}, L"event 0x800a popup -4 5;"},
      {{300, 410}, L"event 0x800a popup -4 5;event 0x800a popup -4 6;"}};
  // clang-format on
  for (const MoveRow& row : moves) {
    g_cursor = row.cursor;
    SendMessageW(g_mainWnd, WM_MOUSEMOVE, 0, 0);
    EXPECT_EQ(row.events, std::exchange(g_log, L"")) << row.cursor.x << ", " << row.cursor.y;
  }
  VARIANT state = {};
  std::wstring hot = Hex(popup->get_accState(Id(6), &state));
  EXPECT_EQ(L"0 0x500080 ", hot + Hex(state.lVal));  // Pictures, hot-tracked too
  // clang-format off
  struct CallRow { VARIANT id; const wchar_t* answers; };  // 1: S_FALSE, a simple element
  const CallRow calls[] = {{Id(5), L"0 0 0 0 0x1 0 0 0 open H:\\Users\\kes\\Documents;quit 0;"},
      {Id(9), L"0 0 0 0 0x1 0 0 0 open .\\Computer.lnk;quit 0;"}, {Id(4), L"0 0 0 0 0x1 0 0 0 open H:\\Users\\kes;quit 0;"},
      {Id(15), L"0x80070057 0x80070057 0x80070057 0x80070057 0x80070057 0x80070057 0x80070057 0x80070057 "},
      {Id(-1), L"0x80070057 0x80070057 0x80070057 0x80070057 0x80070057 0x80070057 0x80070057 0x80070057 "},
      {Id(5, VT_I2), L"0x80070057 0x80070057 0x80070057 0x80070057 0x80070057 0x80070057 0x80070057 0x80070057 "},
      {Id(5, VT_EMPTY), L"0x80070057 0x80070057 0x80070057 0x80070057 0x80070057 0x80070057 0x80070057 0x80070057 "}};
  // clang-format on
  for (const CallRow& row : calls) EXPECT_EQ(row.answers, Answers(popup, row.id));
  DestroyWindow(g_mainWnd);  // 0x80010108: RPC_E_DISCONNECTED
  EXPECT_EQ(
      L"0x80010108 0x80010108 0x80010108 0x80010108 0x80010108 0x80010108 0x80010108 0x80010108 quit 0;",
      Answers(popup, Id(5)));
  EXPECT_EQ(0u, popup->Release());
  DeleteFileW(picture.c_str());
}

// kestrelon.exe's popup listed from this process, as a screen reader lists it: through COM.
TEST(Accessibility, ListedFromAnotherProcess) {
  std::wstring picture, user = SetUpAccount(nullptr, &picture);  // the name kestrelon.exe reads
  PROCESS_INFORMATION run = Start(Beside(L""));
  HWND popup = ShownWindow(L"Kestrelon", 10000);
  ASSERT_NE(nullptr, popup);
  EXPECT_EQ(Listing(user), AccessibleListing(popup));
  PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(0, ExitCode(run));
  DeleteFileW(picture.c_str());
}
