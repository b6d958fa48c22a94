// Colours the panel tests expect on screen: fixed ones, those of the link highlight art, and
// the system colours of Wine's default scheme, which the tests check before they rely on them.
#pragma once

#include <windows.h>

namespace kt {

constexpr COLORREF WHITE = RGB(255, 255, 255);
constexpr COLORREF PICTURE_BORDER = RGB(125, 125, 125);

// IDB_LINKBUTTONBACK: a dark outline round a face that is lighter in its upper half.
constexpr COLORREF HIGHLIGHT_EDGE = RGB(0x3C, 0x4A, 0x5E);
constexpr COLORREF HIGHLIGHT_UPPER = RGB(0x9C, 0xB4, 0xCE);
constexpr COLORREF HIGHLIGHT_LOWER = RGB(0x6E, 0x8C, 0xAE);

// Wine's default scheme.
constexpr COLORREF SCHEME_MENU = RGB(255, 255, 255);
constexpr COLORREF SCHEME_GRAYTEXT = RGB(166, 166, 166);  // also the popup's background
constexpr COLORREF SCHEME_3DLIGHT = RGB(227, 227, 227);
constexpr COLORREF SCHEME_GRADIENTACTIVECAPTION = RGB(50, 150, 250);

// True when the system colours are those above; the pixel tests skip otherwise.
inline bool HasWineDefaultScheme() {
  return GetSysColor(COLOR_MENU) == SCHEME_MENU && GetSysColor(COLOR_GRAYTEXT) == SCHEME_GRAYTEXT &&
         GetSysColor(COLOR_3DLIGHT) == SCHEME_3DLIGHT &&
         GetSysColor(COLOR_GRADIENTACTIVECAPTION) == SCHEME_GRADIENTACTIVECAPTION;
}

}  // namespace kt
