// The "All Programs" cascading menu of the common programs folder and its id-to-path map.
#pragma once

#include <windows.h>

#include <string>

void ShowProgramsMenu();
void BuildProgramsMenu(const std::wstring& folder, const wchar_t* pattern, HMENU menu);
std::wstring FindProgramPath(int id);
