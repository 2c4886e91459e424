// The real mouse cursor (the X pointer under Wine), moved as a person moves it,
// so that the control under it hears the move, the rest and the leave.
#pragma once

#include <windows.h>

namespace qxt::test {

void MoveCursor(POINT screen);

// The centre of a window, in screen coordinates.
POINT CentreOf(HWND wnd);

// Puts the cursor at a resting point where it disturbs no window, now and
// again when the object goes, however the test ends.
class CursorAway {
public:
    explicit CursorAway(POINT rest);
    CursorAway(const CursorAway&) = delete;
    CursorAway& operator=(const CursorAway&) = delete;
    ~CursorAway();

    // Back to the resting point.
    void Rest() const;

private:
    POINT m_rest;
};

}  // namespace qxt::test
