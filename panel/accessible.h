// The popup as assistive technology sees it. Windows describes only windows, so the painted
// links and the account picture get an accessible object of their own, which wraps the
// standard one Windows keeps for the popup's client area.
//
// Child ids, in reading order: 1 the pinned items tree, 2 "All Programs", then the account
// picture when there is one, the ten links in slot order, and last "Shut down...". The child
// windows are full objects (get_accChild gives Windows' own object of each); the picture and
// the links are simple elements of the popup's object.
#pragma once

#include <windows.h>

// WM_GETOBJECT: the popup's accessible object for OBJID_CLIENT; DefWindowProcW for any other
// object, and whenever the object cannot be handed out.
LRESULT OnGetObject(HWND window, WPARAM wParam, LPARAM lParam);

// Tells listening clients that a link gained or lost the hot state; 0 (no link) is ignored.
void NotifyLinkStateChange(int linkId);
