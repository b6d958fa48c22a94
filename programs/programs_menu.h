// The "All Programs" cascading menu of the common programs folder and its id-to-path map.
#pragma once

#include <windows.h>

#include <string>

// The folder every press of "All Programs" mirrors.
constexpr wchar_t PROGRAMS_FOLDER[] = L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";

// The menu's lower-left corner, in the popup's client coordinates: just below the lower-left
// corner of the "All Programs" button.
constexpr POINT PROGRAMS_MENU_ANCHOR = {11, 430};

// Walks PROGRAMS_FOLDER into a new menu, tracks it above the "All Programs" button and frees
// it again. A chosen item arrives afterwards as WM_COMMAND on g_mainWnd.
void ShowProgramsMenu();

// Appends the content of folder (no trailing backslash) to menu: a submenu with its own walk
// per subfolder, an item with the next command id per file, each with a bitmap that
// DestroyProgramsMenu frees. Each call numbers one menu tree (one press).
void BuildProgramsMenu(const std::wstring& folder, const wchar_t* pattern, HMENU menu);
inline void BuildProgramsMenu(const std::wstring& folder, const std::wstring& pattern, HMENU menu) {
  BuildProgramsMenu(folder, pattern.c_str(), menu);
}

// Deletes the item bitmaps of a menu built by BuildProgramsMenu, then the menu and its submenus.
void DestroyProgramsMenu(HMENU menu);

// The path of the file item the id belongs to, or an empty string.
std::wstring FindProgramPath(int id);
