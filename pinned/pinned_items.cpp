#include "pinned/pinned_items.h"

wchar_t g_pinnedDir[ENV_BUFFER_CHARS];

void StartPinnedItemsLoader() {}
void LoadPinnedItems(const wchar_t*) {}
void OpenClickedPinnedItem() {}
