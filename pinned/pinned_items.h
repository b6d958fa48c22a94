// The pinned items tree: filled once per run by a loader thread, opened by a click.
#pragma once

#include <windows.h>

#include "app/state.h"

extern wchar_t g_pinnedDir[ENV_BUFFER_CHARS];  // written before the loader starts, ends in '\'

// Builds g_pinnedDir from the home folders (empty when it does not fit) and starts the loader
// thread on it. Nothing waits for the thread.
void StartPinnedItemsLoader();

// One loader pass over folder (ending in '\'): every entry but ".", ".." and "desktop.ini" gets
// its path appended to the pinned paths and a tree item whose parameter is that path's position.
// Reaches g_treeWnd only through SendMessageW; an empty folder path lists nothing.
void LoadPinnedItems(const wchar_t* folder);

// NM_CLICK from the tree: opens the item under the cursor, hides the popup and ends the run.
void OpenClickedPinnedItem();
