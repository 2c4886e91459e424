// Drawing one frame of a frame strip: equal frames stacked vertically in one
// image, frame 0 at the top, each as wide as the image.
#pragma once

#include <windows.h>

#include "framework/Image.h"

// Draws frame `frame` into rect (a control's item or client rectangle) from
// the source rectangle of the same size whose top-left corner is (left,
// top + frame * frameHeight). The owner sizes the control to one frame, so
// that is exactly the frame.
inline BOOL DrawStripFrame(const CImage& strip, HDC dc, const RECT& rect, int frame, int frameHeight)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    return strip.Draw(dc, rect.left, rect.top, width, height, rect.left, rect.top + frame * frameHeight, width,
                      height);
}
