// The display scale a window is drawn at, in dots per inch (96: 100 %).
#pragma once

#include <windows.h>

namespace qxt {

inline constexpr UINT kDesignDpi = 96;

// The DPI of the window's screen where the system keeps one per monitor
// (GetDpiForWindow, Windows 10 1607 on), the system DPI otherwise and for a
// null window.
UINT DpiOfWindow(HWND window);

// A length of the design size (96 dpi) at dpi, rounded to the nearest pixel.
inline int ScaleToDpi(int length, UINT dpi)
{
    return ::MulDiv(length, static_cast<int>(dpi), static_cast<int>(kDesignDpi));
}

// Turns off the system's own rescaling of a dialog's fonts and controls when
// it moves to a screen of another scale (Windows 10 1703 on), for a dialog
// that lays itself out again on WM_DPICHANGED. Does nothing where the system
// has no such rescaling.
void TakeOverDialogScaling(HWND dialog);

// A copy of font at another DPI: the same face and style, its height
// scaled from fromDpi to toDpi. Null when the font cannot be read.
HFONT ScaleFont(HFONT font, UINT fromDpi, UINT toDpi);

}  // namespace qxt
