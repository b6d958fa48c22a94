#include "panel/link_column.h"

LinkSlot g_linkSlots[LINK_SLOT_COUNT];
int g_hoverId;
int g_prevHoverId;
int g_labelsDirty = 1;

void InitLinkSlots() {}
void TrackLinkHover() {}
void PaintLinkHighlight(HDC) {}
void PaintLinkLabels(HDC) {}
void OpenHoveredLink() {}
