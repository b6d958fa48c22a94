// The painted column of ten links on the right of the popup.
#pragma once

#include <windows.h>

#include "app/ids.h"

struct LinkSlot {
  int id;    // IDL_USERHOME .. IDL_RUN
  RECT hot;  // client coordinates of g_mainWnd; right and bottom are outside
};

extern LinkSlot g_linkSlots[LINK_SLOT_COUNT];
extern int g_hoverId;      // slot under the cursor at the latest mouse move, 0 for none
extern int g_prevHoverId;  // g_hoverId before that move
extern int g_labelsDirty;  // captions are drawn at the next paint

void InitLinkSlots();
void TrackLinkHover();
void PaintLinkHighlight(HDC dc);
void PaintLinkLabels(HDC dc);
void OpenHoveredLink();
