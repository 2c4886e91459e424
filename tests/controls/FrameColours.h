// The solid colours of the frames of the test strips (make_fixtures.py).
#pragma once

#include <windows.h>

namespace qxt::test {

inline constexpr COLORREF kFrameColours[10] = {
    RGB(230, 25, 75),  RGB(60, 180, 75),  RGB(255, 225, 25), RGB(0, 130, 200),  RGB(245, 130, 48),
    RGB(145, 30, 180), RGB(70, 240, 240), RGB(240, 50, 230), RGB(210, 245, 60), RGB(250, 190, 212),
};

// The frame whose colour a pixel shows, or -1.
inline int FrameOfColour(COLORREF colour)
{
    for (int i = 0; i < 10; ++i)
        if (kFrameColours[i] == colour)
            return i;
    return -1;
}

}  // namespace qxt::test
