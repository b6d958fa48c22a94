// The painted column of ten links on the right of the popup.
#pragma once

#include <windows.h>

#include "app/ids.h"

struct LinkSlot {
  int id;    // IDL_USERHOME .. IDL_RUN
  RECT hot;  // client coordinates of g_mainWnd; right and bottom are outside
};

// Written by InitLinkSlots at start-up and by TrackLinkHover and the painters afterwards, all
// on the main thread.
extern LinkSlot g_linkSlots[LINK_SLOT_COUNT];
extern int g_hoverId;      // slot under the cursor at the latest mouse move, 0 for none
extern int g_prevHoverId;  // g_hoverId before that move
extern int g_labelsDirty;  // captions are drawn at the next paint
// The captions' font (the menu font), made at the first caption paint; it goes with the process.
extern HFONT g_captionFont;

// Fills the slot table: ids and hot rectangles.
void InitLinkSlots();
// The slot whose hot rectangle holds a point of the popup's client area, 0 for none.
int LinkAt(POINT point);
// What a slot shows: its caption, or the whole account name for the first; "" for no slot.
const wchar_t* LinkCaption(int id);
// WM_MOUSEMOVE: finds the slot under the cursor and asks for a paint of the column at every
// move inside a slot and at the move that leaves one; tells accessibility clients when the
// hovered slot changes.
void TrackLinkHover();
// Called by the panel paint, in this order, with its paint context.
void PaintLinkHighlight(HDC dc);
void PaintLinkLabels(HDC dc);
// Opens a slot's target and ends the run; the home folder links open nothing when the home
// values were too long to read. Not a slot id: nothing happens.
void OpenLink(int id);
// WM_LBUTTONUP while a slot is hovered: OpenLink of that slot.
void OpenHoveredLink();
