#include "tests/support/Cursor.h"

namespace qxt::test {

void MoveCursor(POINT screen)
{
    ::SetCursorPos(screen.x, screen.y);
}

POINT CentreOf(HWND wnd)
{
    RECT rect{};
    ::GetWindowRect(wnd, &rect);
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

CursorAway::CursorAway(POINT rest) : m_rest(rest)
{
    Rest();
}

CursorAway::~CursorAway()
{
    Rest();
}

void CursorAway::Rest() const
{
    MoveCursor(m_rest);
}

}  // namespace qxt::test
