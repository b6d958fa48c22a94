// The pinned items tree: filled once per run by a loader thread, opened by a click.
#pragma once

#include <windows.h>

#include "app/state.h"

extern wchar_t g_pinnedDir[ENV_BUFFER_CHARS];  // written before the loader starts, ends in '\'

void StartPinnedItemsLoader();
void LoadPinnedItems(const wchar_t* folder);
void OpenClickedPinnedItem();  // NM_CLICK from the tree
