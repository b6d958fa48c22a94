#include "panel/panel_paint.h"

HBITMAP g_userPicture;

void LoadUserPicture() {}

void PaintPanel(HWND window) {
  PAINTSTRUCT paint;
  BeginPaint(window, &paint);
  EndPaint(window, &paint);
}
