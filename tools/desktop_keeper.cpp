// Keeps the Wine desktop (and its taskbar) alive for the whole test run: the desktop ends
// with its last process, and a new one takes seconds to show its taskbar.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  GetDesktopWindow();
  for (;;) Sleep(60 * 60 * 1000);
}
