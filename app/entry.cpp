// Kestrelon: a small start menu. Each run shows one popup above the taskbar, hands whatever
// the user picks to the shell, and ends.
#include <windows.h>

#include "app/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { return RunKestrelon(instance); }
