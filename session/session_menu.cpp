#include "session/session_menu.h"

void ShowShutdownMenu() {}
void RunSessionAction(int) {}
void EnableShutdownPrivilege() {}
