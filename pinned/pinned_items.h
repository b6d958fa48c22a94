// The pinned items tree: filled once per run by a loader thread, opened by a click.
#pragma once

#include <windows.h>

#include <string>

#include "app/state.h"

extern wchar_t g_pinnedDir[ENV_BUFFER_CHARS];  // written before the loader starts, ends in '\'

// Builds g_pinnedDir from g_homeDrive and g_homePath (empty when it does not fit or a home
// value was too long to read) and starts the loader thread on it. Nothing waits for the thread.
void StartPinnedItemsLoader();

// One loader pass over folder (ending in '\'): every entry but ".", ".." and "desktop.ini" gets
// its path appended to the pinned paths and a tree item whose parameter is that path's position.
// Reaches g_treeWnd only through SendMessageW; an empty folder path lists nothing.
void LoadPinnedItems(const wchar_t* folder);
inline void LoadPinnedItems(const std::wstring& folder) { LoadPinnedItems(folder.c_str()); }

// NM_CLICK from the tree: opens the item under the cursor, hides the popup and ends the run.
void OpenClickedPinnedItem();
