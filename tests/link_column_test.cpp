// The link column: hover with the real cursor, the highlight and captions on screen, the
// release that opens a link, and what a thousand moves leave behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/ids.h"
#include "app/state.h"
#include "panel/link_column.h"
#include "support/panel_colours.h"
#include "support/panel_popup.h"
#include "support/wine_test.h"

namespace {

constexpr RECT COLUMN = {260, 70, 398, 426};

RECT Slot(int i) { return RECT{260, 70 + 36 * i, 398, 102 + 36 * i}; }

// Pixels of the highlight art in the area.
int HighlightPixels(const kt::PopupSnapshot& shown, const RECT& area) {
  return shown.Count(area, kt::HIGHLIGHT_UPPER) + shown.Count(area, kt::HIGHLIGHT_LOWER) +
         shown.Count(area, kt::HIGHLIGHT_EDGE);
}

// Caption ink: pixels brighter than anything but the white text (antialiased edges included).
int InkPixels(const kt::PopupSnapshot& shown, const RECT& area) {
  int count = 0;
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) {
      COLORREF c = shown.At(x, y);
      count += GetRValue(c) > 0xC0 && GetGValue(c) > 0xC0 && GetBValue(c) > 0xD8;
    }
  }
  return count;
}

// The highlight covers exactly slot i's hot rectangle: its dark outline on the rectangle's
// edge, nothing of it one pixel outside.
void ExpectHighlightOn(const kt::PopupSnapshot& shown, int i) {
  RECT hot = Slot(i);
  EXPECT_EQ(kt::HIGHLIGHT_EDGE, shown.At(260, hot.top + 16)) << "left edge of slot " << i;
  EXPECT_EQ(kt::HIGHLIGHT_EDGE, shown.At(397, hot.top + 16)) << "right edge of slot " << i;
  EXPECT_EQ(kt::HIGHLIGHT_EDGE, shown.At(264, hot.top)) << "top edge of slot " << i;
  EXPECT_EQ(kt::HIGHLIGHT_EDGE, shown.At(264, hot.bottom - 1)) << "bottom edge of slot " << i;
  EXPECT_EQ(kt::HIGHLIGHT_UPPER, shown.At(262, hot.top + 4)) << "upper face of slot " << i;
  EXPECT_EQ(kt::HIGHLIGHT_LOWER, shown.At(262, hot.bottom - 4)) << "lower face of slot " << i;
  EXPECT_EQ(kt::SCHEME_GRAYTEXT, shown.At(259, hot.top + 16)) << "left of slot " << i;
  EXPECT_EQ(kt::SCHEME_GRAYTEXT, shown.At(398, hot.top + 16)) << "right of slot " << i;
  EXPECT_EQ(kt::SCHEME_GRAYTEXT, shown.At(264, hot.top - 1)) << "above slot " << i;
  EXPECT_EQ(kt::SCHEME_GRAYTEXT, shown.At(264, hot.bottom)) << "below slot " << i;
  int inSlot = HighlightPixels(shown, hot);
  EXPECT_GT(inSlot, 138 * 32 / 2) << "the highlight fills slot " << i;
  EXPECT_EQ(inSlot, HighlightPixels(shown, COLUMN)) << "no highlight outside slot " << i;
  RECT caption = {268, hot.top + 7, 398, hot.bottom};
  EXPECT_GT(InkPixels(shown, caption), 20) << "the caption of slot " << i << " is drawn over the highlight";
}

void ExpectNoHighlight(const kt::PopupSnapshot& shown) {
  EXPECT_EQ(0, HighlightPixels(shown, COLUMN)) << "no highlight in the column";
}

// Moves the real cursor and hands the move to the popup at once, without pumping messages
// (a paint is made only when messages are fetched), so that several moves can come before
// one paint. A move whose cursor Wine snapped back before the popup read it is made again.
void MoveWithoutPaint(int x, int y) {
  POINT screen = kt::PopupToScreen(x, y);
  for (int attempt = 0; attempt < 5; ++attempt) {
    kt::PlaceCursor(screen);
    SendMessageW(g_mainWnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    if (kt::CursorIsAt(screen)) return;
  }
}

// Waits until the hover id is the expected one after a real cursor move.
// Under load a cursor move can snap back or get lost, so the move is made again now and then.
bool HoverBecomes(int x, int y, int id) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    kt::HoverPopup(x, y);
    if (kt::WaitFor([&] { return g_hoverId == id; }, 1000)) return true;
  }
  return false;
}

class LinkColumn : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!kt::HasWineDefaultScheme())
      GTEST_SKIP() << "the expected colours are those of Wine's default scheme";
    kt::MoveCursor(900, 100);  // keep the cursor off the popup until the test moves it
  }
};

TEST_F(LinkColumn, FirstPaintShowsTheTenCaptionsAndNoHighlight) {
  ASSERT_NE(nullptr, kt::ShowPanelPopup(L"Kestrel"));
  ASSERT_TRUE(kt::WaitForPopupPixel(328, 8, kt::SCHEME_3DLIGHT)) << "the popup was never painted";
  kt::PopupSnapshot shown = kt::SnapshotPopup();
  ExpectNoHighlight(shown);
  const RECT captions[10] = {{268, 78, 398, 102},  {268, 113, 398, 138}, {268, 150, 398, 174},
                             {268, 186, 398, 210}, {268, 222, 398, 246}, {268, 258, 398, 282},
                             {268, 293, 398, 318}, {268, 330, 398, 354}, {268, 366, 398, 390},
                             {268, 402, 398, 426}};
  for (int i = 0; i < 10; ++i) EXPECT_GT(InkPixels(shown, captions[i]), 20) << "caption " << i;
  // Text only inside the caption rectangles: nothing left of them, in the bands or at the right.
  EXPECT_EQ(0, InkPixels(shown, RECT{260, 70, 268, 426}));
  for (int i = 0; i < 9; ++i) EXPECT_EQ(0, InkPixels(shown, RECT{260, 102 + 36 * i, 398, 106 + 36 * i}));
  EXPECT_EQ(0, InkPixels(shown, RECT{398, 70, 410, 426}));
}

TEST_F(LinkColumn, HighlightFollowsTheRealCursorAndLeavesThePanelAlone) {
  ASSERT_NE(nullptr, kt::ShowPanelPopup(L"Kestrel"));
  ASSERT_TRUE(kt::WaitForPopupPixel(328, 8, kt::SCHEME_3DLIGHT));
  kt::PopupSnapshot before = kt::SnapshotPopup();

  ASSERT_TRUE(HoverBecomes(320, 120, IDL_DOCUMENTS));
  ASSERT_TRUE(kt::WaitForPopupPixel(262, 110, kt::HIGHLIGHT_UPPER));
  kt::PopupSnapshot onDocuments = kt::SnapshotPopup();
  ExpectHighlightOn(onDocuments, 1);
  int changedOutside = 0;
  for (int y = 0; y < before.height; ++y) {
    for (int x = 0; x < before.width; ++x) {
      POINT point = {x, y};
      if (!PtInRect(&COLUMN, point)) changedOutside += before.At(x, y) != onDocuments.At(x, y);
    }
  }
  EXPECT_EQ(0, changedOutside) << "a hover paint changes nothing outside the column";

  // The 4-pixel band between Documents and Pictures belongs to no slot.
  ASSERT_TRUE(HoverBecomes(320, 140, 0));
  ASSERT_TRUE(kt::WaitForPopupPixel(262, 110, kt::SCHEME_GRAYTEXT));
  ExpectNoHighlight(kt::SnapshotPopup());

  ASSERT_TRUE(HoverBecomes(320, 160, IDL_PICTURES));
  ASSERT_TRUE(kt::WaitForPopupPixel(262, 146, kt::HIGHLIGHT_UPPER));
  ExpectHighlightOn(kt::SnapshotPopup(), 2);

  // Edges: left and top inside, right (x 398) and bottom (y 102 + 36 i) outside.
  EXPECT_TRUE(HoverBecomes(260, 80, IDL_USERHOME));
  EXPECT_TRUE(HoverBecomes(259, 80, 0));
  EXPECT_TRUE(HoverBecomes(397, 80, IDL_USERHOME));
  EXPECT_TRUE(HoverBecomes(398, 80, 0));
  ASSERT_TRUE(kt::WaitForPopupPixel(262, 74, kt::SCHEME_GRAYTEXT));
  ExpectNoHighlight(kt::SnapshotPopup());
  EXPECT_TRUE(HoverBecomes(300, 101, IDL_USERHOME));
  EXPECT_TRUE(HoverBecomes(300, 102, 0));
  EXPECT_TRUE(HoverBecomes(300, 282 - 1, IDL_COMPUTER));
  EXPECT_TRUE(HoverBecomes(300, 282, 0));
  EXPECT_TRUE(HoverBecomes(300, 425, IDL_RUN));
  EXPECT_TRUE(HoverBecomes(300, 426, 0));
  EXPECT_TRUE(HoverBecomes(300, 394, IDL_RUN));
  EXPECT_TRUE(HoverBecomes(300, 393, 0));
}

TEST_F(LinkColumn, SeveralMovesBeforeOnePaintLeaveNoStaleHighlight) {
  ASSERT_NE(nullptr, kt::ShowPanelPopup(L"Kestrel"));
  ASSERT_TRUE(HoverBecomes(320, 160, IDL_PICTURES));
  ASSERT_TRUE(kt::WaitForPopupPixel(262, 146, kt::HIGHLIGHT_UPPER));

  // Into Music, then a second move inside Music: the latest move alone changed nothing.
  MoveWithoutPaint(320, 190);
  MoveWithoutPaint(330, 195);
  EXPECT_EQ(IDL_MUSIC, g_hoverId);
  UpdateWindow(g_mainWnd);
  // Read from the window before any further message can bring another paint.
  EXPECT_EQ(kt::HIGHLIGHT_UPPER, kt::WindowPixel(262, 182)) << "Music is highlighted by that one paint";
  EXPECT_EQ(kt::SCHEME_GRAYTEXT, kt::WindowPixel(262, 146)) << "Pictures is not";
  ASSERT_TRUE(kt::WaitForPopupPixel(262, 182, kt::HIGHLIGHT_UPPER)) << "Music is highlighted";
  ExpectHighlightOn(kt::SnapshotPopup(), 3);

  // Out into a band, then a second move in a band: the highlight must go all the same.
  MoveWithoutPaint(320, 212);
  MoveWithoutPaint(320, 248);
  EXPECT_EQ(0, g_hoverId);
  UpdateWindow(g_mainWnd);
  EXPECT_EQ(kt::SCHEME_GRAYTEXT, kt::WindowPixel(262, 182)) << "Music's highlight went with that one paint";
  ASSERT_TRUE(kt::WaitForPopupPixel(262, 182, kt::SCHEME_GRAYTEXT)) << "Music's highlight is gone";
  ExpectNoHighlight(kt::SnapshotPopup());

  // Away and back to the same slot before the paint: it is highlighted again.
  MoveWithoutPaint(320, 270);
  MoveWithoutPaint(320, 300);
  MoveWithoutPaint(320, 270);
  UpdateWindow(g_mainWnd);
  EXPECT_EQ(kt::HIGHLIGHT_UPPER, kt::WindowPixel(262, 254));
  ASSERT_TRUE(kt::WaitForPopupPixel(262, 254, kt::HIGHLIGHT_UPPER));
  ExpectHighlightOn(kt::SnapshotPopup(), 5);
}

TEST_F(LinkColumn, AColumnErasedByTheSystemIsDrawnAgainWithTheHoverUnchanged) {
  ASSERT_NE(nullptr, kt::ShowPanelPopup(L"Kestrel"));
  ASSERT_TRUE(HoverBecomes(320, 120, IDL_DOCUMENTS));
  ASSERT_TRUE(kt::WaitForPopupPixel(262, 110, kt::HIGHLIGHT_UPPER));
  MoveWithoutPaint(330, 125);  // a move inside the same slot: the hover id stays
  ASSERT_EQ(IDL_DOCUMENTS, g_hoverId);

  // What the system asks for when the popup is uncovered: a paint whose background is erased.
  RECT uncovered = {280, 60, 398, 300};
  InvalidateRect(g_mainWnd, &uncovered, TRUE);
  UpdateWindow(g_mainWnd);
  EXPECT_EQ(kt::HIGHLIGHT_UPPER, kt::WindowPixel(262, 110)) << "the highlight is drawn again";
  ASSERT_TRUE(kt::WaitForPopupPixel(262, 110, kt::HIGHLIGHT_UPPER));
  kt::PopupSnapshot shown = kt::SnapshotPopup();
  ExpectHighlightOn(shown, 1);
  for (int i = 0; i < 10; ++i) {
    EXPECT_GT(InkPixels(shown, RECT{268, 78 + 36 * i, 398, 102 + 36 * i}), 20) << "caption " << i;
  }
}

TEST_F(LinkColumn, LongAccountNameIsShortenedWithAnEllipsisInsideItsCaption) {
  // Capitals with full-height strokes only, so that the ellipsis's dots are the one ink that
  // stands on the baseline alone.
  ASSERT_NE(nullptr, kt::ShowPanelPopup(L"HENNIEHEINEHENNINGHEINEHEIMHENNIEHEINEHENNING"));
  ASSERT_TRUE(kt::WaitForPopupPixel(328, 8, kt::SCHEME_3DLIGHT));
  kt::PopupSnapshot shown = kt::SnapshotPopup();
  const RECT caption = {268, 78, 398, 102};
  ASSERT_GT(InkPixels(shown, caption), 100);
  EXPECT_EQ(0, InkPixels(shown, RECT{398, 70, 410, 106})) << "nothing drawn right of the caption";
  EXPECT_EQ(0, InkPixels(shown, RECT{260, 70, 268, 106})) << "nothing drawn left of the caption";

  int inkTop = caption.bottom, inkBottom = caption.top;
  for (int y = caption.top; y < caption.bottom; ++y) {
    if (InkPixels(shown, RECT{caption.left, y, caption.right, y + 1}) == 0) continue;
    inkTop = std::min(inkTop, y);
    inkBottom = std::max(inkBottom, y);
  }
  ASSERT_GT(inkBottom - inkTop, 6) << "a line of capitals";
  // Runs of adjacent ink columns whose ink all lies in the lowest quarter: the dots.
  int baselineLimit = inkBottom - (inkBottom - inkTop) / 4;
  int dots = 0;
  bool inRun = false, runLow = true;
  for (int x = caption.left; x <= caption.right; ++x) {
    int high = x < caption.right ? InkPixels(shown, RECT{x, inkTop, x + 1, baselineLimit}) : 0;
    int low = x < caption.right ? InkPixels(shown, RECT{x, baselineLimit, x + 1, inkBottom + 1}) : 0;
    if (high + low > 0) {
      runLow = (inRun ? runLow : true) && high == 0;
      inRun = true;
    } else if (inRun) {
      dots += runLow;
      inRun = false;
    }
  }
  EXPECT_EQ(3, dots) << "three dots of an ellipsis";
}

// ShellExecuteW and PostQuitMessage as the code under test calls them, recorded instead.
std::vector<std::wstring> g_opened;
std::vector<int> g_quitCodes;

HINSTANCE WINAPI RecordShellExecute(HWND, LPCWSTR, LPCWSTR file, LPCWSTR, LPCWSTR, INT) {
  g_opened.push_back(file ? file : L"(null)");
  return reinterpret_cast<HINSTANCE>(33);
}

void WINAPI RecordPostQuit(int code) { g_quitCodes.push_back(code); }

TEST_F(LinkColumn, ReleaseOverALinkOpensItsTargetAndEndsTheRun) {
  ASSERT_NE(nullptr, kt::ShowPanelPopup(L"Kestrel"));
  wcscpy_s(g_homeDrive, L"Q:");
  wcscpy_s(g_homePath, L"\\Users\\Kestrel");
  void* realShellExecute =
      kt::PatchImport("shell32.dll", "ShellExecuteW", reinterpret_cast<void*>(RecordShellExecute));
  void* realPostQuit =
      kt::PatchImport("user32.dll", "PostQuitMessage", reinterpret_cast<void*>(RecordPostQuit));
  ASSERT_NE(nullptr, realShellExecute);
  ASSERT_NE(nullptr, realPostQuit);

  const wchar_t* targets[10] = {L"Q:\\Users\\Kestrel",
                                L"Q:\\Users\\Kestrel\\Documents",
                                L"Q:\\Users\\Kestrel\\Pictures",
                                L"Q:\\Users\\Kestrel\\Music",
                                L"Q:\\Users\\Kestrel\\Downloads",
                                L".\\Computer.lnk",
                                L".\\Network.lnk",
                                L".\\Control Panel.lnk",
                                L".\\Devices and Printers.lnk",
                                L".\\Run.lnk"};
  for (size_t i = 0; i < 10; ++i) {
    // A click in the band above the slot and one on the white panel open nothing; the click
    // on the slot that follows is then the only one that counts.
    POINT band = kt::PopupToScreen(320, 68 + 36 * static_cast<int>(i));
    kt::ClickAt(band.x, band.y);
    POINT panel = kt::PopupToScreen(11, 200);
    kt::ClickAt(panel.x, panel.y);
    POINT link = kt::PopupToScreen(320, 86 + 36 * static_cast<int>(i));
    kt::ClickAt(link.x, link.y);
    ASSERT_TRUE(kt::WaitFor([&] { return g_opened.size() > i; }, 3000)) << "slot " << i << " opened nothing";
    EXPECT_EQ(targets[i], g_opened[i]);
    EXPECT_EQ(i + 1, g_opened.size()) << "only the click on the slot opened something";
    ASSERT_EQ(i + 1, g_quitCodes.size()) << "each opened link ends the run";
    EXPECT_EQ(0, g_quitCodes[i]);
  }
  kt::PatchImport("shell32.dll", "ShellExecuteW", realShellExecute);
  kt::PatchImport("user32.dll", "PostQuitMessage", realPostQuit);
}

// Creations and deletions of GDI objects by the code linked into this program.
int g_dcsMade, g_dcsDeleted, g_fontsMade, g_objectsMade, g_objectsDeleted;
decltype(&CreateCompatibleDC) g_realCreateCompatibleDC;
decltype(&DeleteDC) g_realDeleteDC;
decltype(&CreateFontIndirectW) g_realCreateFontIndirectW;
decltype(&CreatePen) g_realCreatePen;
decltype(&CreateSolidBrush) g_realCreateSolidBrush;
decltype(&CreateCompatibleBitmap) g_realCreateCompatibleBitmap;
decltype(&DeleteObject) g_realDeleteObject;

HDC WINAPI CountCreateCompatibleDC(HDC dc) {
  ++g_dcsMade;
  return g_realCreateCompatibleDC(dc);
}
BOOL WINAPI CountDeleteDC(HDC dc) {
  ++g_dcsDeleted;
  return g_realDeleteDC(dc);
}
HFONT WINAPI CountCreateFontIndirectW(const LOGFONTW* font) {
  ++g_fontsMade;
  ++g_objectsMade;
  return g_realCreateFontIndirectW(font);
}
HPEN WINAPI CountCreatePen(int style, int width, COLORREF colour) {
  ++g_objectsMade;
  return g_realCreatePen(style, width, colour);
}
HBRUSH WINAPI CountCreateSolidBrush(COLORREF colour) {
  ++g_objectsMade;
  return g_realCreateSolidBrush(colour);
}
HBITMAP WINAPI CountCreateCompatibleBitmap(HDC dc, int width, int height) {
  ++g_objectsMade;
  return g_realCreateCompatibleBitmap(dc, width, height);
}
BOOL WINAPI CountDeleteObject(HGDIOBJ object) {
  ++g_objectsDeleted;
  return g_realDeleteObject(object);
}

template <typename Function>
void Swap(const char* name, Function replacement, Function* real) {
  *real =
      reinterpret_cast<Function>(kt::PatchImport("gdi32.dll", name, reinterpret_cast<void*>(replacement)));
}

TEST_F(LinkColumn, AThousandHoverMovesLeaveNoGdiObjectBehind) {
  ASSERT_NE(nullptr, kt::ShowPanelPopup(L"Kestrel"));
  ASSERT_TRUE(HoverBecomes(320, 120, IDL_DOCUMENTS));
  ASSERT_TRUE(kt::WaitForPopupPixel(262, 110, kt::HIGHLIGHT_UPPER));

  Swap("CreateCompatibleDC", CountCreateCompatibleDC, &g_realCreateCompatibleDC);
  Swap("DeleteDC", CountDeleteDC, &g_realDeleteDC);
  Swap("CreateFontIndirectW", CountCreateFontIndirectW, &g_realCreateFontIndirectW);
  Swap("DeleteObject", CountDeleteObject, &g_realDeleteObject);
  Swap("CreatePen", CountCreatePen, &g_realCreatePen);
  Swap("CreateSolidBrush", CountCreateSolidBrush, &g_realCreateSolidBrush);
  Swap("CreateCompatibleBitmap", CountCreateCompatibleBitmap, &g_realCreateCompatibleBitmap);
  ASSERT_NE(nullptr, g_realCreateCompatibleDC);
  ASSERT_NE(nullptr, g_realDeleteDC);
  ASSERT_NE(nullptr, g_realCreateFontIndirectW);
  ASSERT_NE(nullptr, g_realDeleteObject);

  // Through slots, bands and the space right of the column, each move painted at once.
  const POINT stops[] = {{320, 86}, {320, 104}, {320, 122}, {330, 125}, {404, 122}, {320, 302}, {320, 410}};
  // Under load Wine loses a cursor move now and then, so the highlighted paints asked for are
  // counted from the hover each move really gave.
  int highlightsAsked = 0;
  for (int move = 0; move < 1000; ++move) {
    const POINT& stop = stops[move % (sizeof(stops) / sizeof(stops[0]))];
    int before = g_hoverId;
    MoveWithoutPaint(stop.x, stop.y);
    highlightsAsked += g_hoverId != before && g_hoverId != 0;
    UpdateWindow(g_mainWnd);
  }
  kt::PumpFor(100);
  int dcsMade = g_dcsMade, dcsDeleted = g_dcsDeleted, fontsMade = g_fontsMade;
  int objectsMade = g_objectsMade, objectsDeleted = g_objectsDeleted;

  Swap("CreateCompatibleDC", g_realCreateCompatibleDC, &g_realCreateCompatibleDC);
  Swap("DeleteDC", g_realDeleteDC, &g_realDeleteDC);
  Swap("CreateFontIndirectW", g_realCreateFontIndirectW, &g_realCreateFontIndirectW);
  Swap("DeleteObject", g_realDeleteObject, &g_realDeleteObject);
  if (g_realCreatePen) Swap("CreatePen", g_realCreatePen, &g_realCreatePen);
  if (g_realCreateSolidBrush) Swap("CreateSolidBrush", g_realCreateSolidBrush, &g_realCreateSolidBrush);
  if (g_realCreateCompatibleBitmap) {
    Swap("CreateCompatibleBitmap", g_realCreateCompatibleBitmap, &g_realCreateCompatibleBitmap);
  }

  EXPECT_GE(highlightsAsked, 250) << "most of the 571 slot changes of the route reached the popup";
  EXPECT_GE(dcsMade, highlightsAsked) << "each highlighted paint draws through a memory context";
  EXPECT_EQ(dcsMade, dcsDeleted) << "every memory context is deleted";
  EXPECT_EQ(0, fontsMade) << "the captions keep the one font made for the run";
  EXPECT_EQ(objectsMade, objectsDeleted) << "no pen, brush, font or bitmap is left behind";
}

TEST(LinkColumnEndToEnd, ReleaseOverComputerOpensTheShortcutInTheWorkingDirectoryAndExits) {
  kt::CloseStrayPopups();
  kt::MoveCursor(900, 100);
  std::wstring dir = kt::MakeTempDir(L"links");
  ASSERT_FALSE(dir.empty());
  ASSERT_TRUE(kt::MakeShortcut(dir + L"\\Computer.lnk", kt::RecorderExe()));
  std::wstring log = kt::NewRecorderLog(dir);

  kt::Process popup = kt::StartProcess(kt::KestrelonExe(), {{L"KESTRELON_RECORDER_LOG", log}}, dir);
  ASSERT_NE(nullptr, popup.handle);
  HWND window = kt::WaitForWindow(popup.id, L"Kestrelon", 10000);
  ASSERT_NE(nullptr, window);
  RECT frame;
  GetWindowRect(window, &frame);

  // A click in a band opens nothing and leaves the popup running.
  kt::ClickAt(frame.left + 320, frame.top + 248);
  EXPECT_FALSE(kt::WaitFor([&] { return WaitForSingleObject(popup.handle, 0) == WAIT_OBJECT_0; }, 500));

  kt::ClickAt(frame.left + 320, frame.top + 266);
  ASSERT_TRUE(kt::WaitForLaunches(log, 1, 10000)) << "Computer opened nothing";
  EXPECT_EQ(0, kt::WaitExit(popup, 10000)) << "the run ends with 0";
  std::vector<kt::Launch> launches = kt::ReadLaunches(log);
  ASSERT_EQ(1u, launches.size()) << "only the click on Computer opened something";
  EXPECT_EQ(0, _wcsicmp(kt::RecorderExe().c_str(), launches[0].exe.c_str()))
      << "opened " << launches[0].exe.c_str();
  kt::CloseProcess(popup);
  kt::RemoveTree(dir);
}

}  // namespace
