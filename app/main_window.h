// The popup window: its class, its controls and the window procedure that routes its messages.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "app/ids.h"

constexpr int POPUP_WIDTH = 410;
constexpr int POPUP_HEIGHT = 485;
constexpr DWORD POPUP_STYLE = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_MAXIMIZEBOX;
constexpr DWORD POPUP_EX_STYLE = WS_EX_COMPOSITED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
constexpr wchar_t MAIN_CLASS_NAME[] = L"Kestrelon";

// A child control of the popup, in its client coordinates.
struct ControlLayout {
  const wchar_t* className;
  const wchar_t* text;
  DWORD style;
  int x, y, width, height;
  int id;
};

constexpr ControlLayout SHUTDOWN_BUTTON = {L"Button", L"Shut down...", WS_CHILD | WS_VISIBLE, 265, 443, 85,
                                           22,        IDC_SHUTDOWN};
constexpr ControlLayout PINNED_TREE = {
    WC_TREEVIEWW,
    L"",
    WS_CHILD | WS_VISIBLE | TVS_FULLROWSELECT | TVS_TRACKSELECT | TVS_DISABLEDRAGDROP,
    14,
    13,
    230,
    375,
    IDC_PINNEDTREE};
constexpr ControlLayout ALL_PROGRAMS_BUTTON = {
    L"Button", L"     All Programs", WS_CHILD | WS_VISIBLE | BS_LEFT, 10, 397, 238, 28, IDC_ALLPROGRAMS};

// Registers the "Kestrelon" class; 0 on failure.
ATOM RegisterMainClass();

// Where the popup's top-left corner goes on the screen: against the taskbar (g_trayRect) at
// its start end, on the monitor that holds it, whichever edge it is docked to; over the bottom
// of the primary monitor's work area when there is no taskbar.
POINT PopupOrigin();

// Creates the popup at PopupOrigin with its three controls; sets g_mainWnd and g_treeWnd.
void CreateMainWindow();

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
