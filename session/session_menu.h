// The "Shut down..." menu and the four session actions.
#pragma once

void ShowShutdownMenu();
void RunSessionAction(int commandId);  // IDM_RESTART .. IDM_LOCK
void EnableShutdownPrivilege();
