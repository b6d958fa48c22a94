// The floor for a toggle: the least a second start must do to close the open popup, built by
// the same toolchain. It looks for the popup, asks it to close, waits for the answer and exits.
#include <windows.h>

#include "app/ids.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  HWND open = FindWindowW(L"Kestrelon", nullptr);
  if (open) SendMessageW(open, UM_CLOSEMENU, 0, 0);
  return 0;
}
