#include "panel/link_column.h"

#include <string>

#include "app/shell_helpers.h"
#include "app/state.h"
#include "panel/accessible.h"

LinkSlot g_linkSlots[LINK_SLOT_COUNT];
int g_hoverId;
int g_prevHoverId;
int g_labelsDirty = 1;
HFONT g_captionFont;

namespace {

// Covers the ten hot rectangles and the bands between them; the one area this column
// invalidates and erases.
constexpr RECT COLUMN_RECT = {260, 70, 398, 426};

constexpr int HIGHLIGHT_SOURCE_WIDTH = 135;  // size of the IDB_LINKBUTTONBACK art
constexpr int HIGHLIGHT_SOURCE_HEIGHT = 31;

// What each slot shows and opens. Caption rectangles are fixed values: two of them sit a
// pixel higher than the rest. A null caption is the account name; a target that starts with
// a backslash is a folder of the user's profile, the others are shortcut files in the
// current directory.
struct LinkText {
  RECT caption;
  const wchar_t* text;
  const wchar_t* target;
};

const LinkText LINK_TEXTS[LINK_SLOT_COUNT] = {
    {{268, 78, 398, 102}, nullptr, L""},
    {{268, 113, 398, 138}, L"Documents", L"\\Documents"},
    {{268, 150, 398, 174}, L"Pictures", L"\\Pictures"},
    {{268, 186, 398, 210}, L"Music", L"\\Music"},
    {{268, 222, 398, 246}, L"Downloads", L"\\Downloads"},
    {{268, 258, 398, 282}, L"Computer", L".\\Computer.lnk"},
    {{268, 293, 398, 318}, L"Network", L".\\Network.lnk"},
    {{268, 330, 398, 354}, L"Control Panel", L".\\Control Panel.lnk"},
    {{268, 366, 398, 390}, L"Devices and Printers", L".\\Devices and Printers.lnk"},
    {{268, 402, 398, 426}, L"Run...", L".\\Run.lnk"},
};

int SlotIndex(int id) { return id - IDL_USERHOME; }

bool IsLinkId(int id) { return id >= IDL_USERHOME && id <= IDL_RUN; }

void DrawHighlight(HDC dc, const RECT& hot) {
  HDC artDc = CreateCompatibleDC(dc);  // deleted below; the bitmap stays loaded for the run
  HGDIOBJ oldBitmap = SelectObject(artDc, g_linkBackBitmap);
  StretchBlt(dc, hot.left, hot.top, hot.right - hot.left, hot.bottom - hot.top, artDc, 0, 0,
             HIGHLIGHT_SOURCE_WIDTH, HIGHLIGHT_SOURCE_HEIGHT, SRCCOPY);
  SelectObject(artDc, oldBitmap);
  DeleteDC(artDc);
}

std::wstring TargetOf(int id) {
  const wchar_t* target = LINK_TEXTS[SlotIndex(id)].target;
  if (id <= IDL_DOWNLOADS) return std::wstring(g_homeDrive) + g_homePath + target;
  return target;
}

}  // namespace

int LinkAt(POINT point) {
  for (const LinkSlot& slot : g_linkSlots) {
    if (PtInRect(&slot.hot, point)) return slot.id;
  }
  return 0;
}

const wchar_t* LinkCaption(int id) {
  if (!IsLinkId(id)) return L"";
  const wchar_t* text = LINK_TEXTS[SlotIndex(id)].text;
  return text ? text : g_userName;
}

void InitLinkSlots() {
  for (int i = 0; i < LINK_SLOT_COUNT; ++i) {
    g_linkSlots[i].id = IDL_USERHOME + i;
    g_linkSlots[i].hot = RECT{260, 70 + 36 * i, 398, 102 + 36 * i};
  }
}

void TrackLinkHover() {
  POINT cursor = {};
  GetCursorPos(&cursor);
  ScreenToClient(g_mainWnd, &cursor);
  g_prevHoverId = g_hoverId;
  g_hoverId = LinkAt(cursor);
  if (g_hoverId != 0 || g_prevHoverId != 0) InvalidateRect(g_mainWnd, &COLUMN_RECT, FALSE);
  if (g_hoverId != g_prevHoverId) {
    NotifyLinkStateChange(g_prevHoverId);
    NotifyLinkStateChange(g_hoverId);
  }
}

// The column is drawn afresh at every paint from the current hover id: a paint may follow
// an exposure that erased the column with the class background, and then an unchanged
// hover id does not mean an unchanged column.
void PaintLinkHighlight(HDC dc) {
  SelectObject(dc, g_grayTextPen);
  SelectObject(dc, g_grayTextBrush);
  Rectangle(dc, COLUMN_RECT.left, COLUMN_RECT.top, COLUMN_RECT.right, COLUMN_RECT.bottom);
  if (IsLinkId(g_hoverId)) DrawHighlight(dc, g_linkSlots[SlotIndex(g_hoverId)].hot);
  g_labelsDirty = 1;
}

void PaintLinkLabels(HDC dc) {
  if (!g_labelsDirty) return;
  g_labelsDirty = 0;
  if (!g_captionFont) g_captionFont = CreateUiFont(UI_FONT_MENU);
  SetTextColor(dc, RGB(255, 255, 255));
  SetBkMode(dc, TRANSPARENT);
  SelectObject(dc, g_captionFont);
  for (int i = 0; i < LINK_SLOT_COUNT; ++i) {
    RECT caption = LINK_TEXTS[i].caption;
    DrawTextW(dc, LinkCaption(IDL_USERHOME + i), -1, &caption, DT_PATH_ELLIPSIS);
  }
}

void OpenLink(int id) {
  if (!IsLinkId(id)) return;
  // An emptied home value would turn "\Documents" into a folder of the current drive.
  bool homeLink = id <= IDL_DOWNLOADS;
  if (!homeLink || !g_homeTooLong) LaunchTarget(TargetOf(id));
  PostQuitMessage(0);
}

void OpenHoveredLink() { OpenLink(g_hoverId); }
