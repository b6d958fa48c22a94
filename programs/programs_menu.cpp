#include "programs/programs_menu.h"

void ShowProgramsMenu() {}
void BuildProgramsMenu(const std::wstring&, const wchar_t*, HMENU) {}
std::wstring FindProgramPath(int) { return std::wstring(); }
