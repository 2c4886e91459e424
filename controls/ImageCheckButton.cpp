#include "controls/ImageCheckButton.h"

#include <windowsx.h>

int CImageCheckButton::GetFrameIndex(const DRAWITEMSTRUCT* item)
{
    return 2 * CImageButton::GetFrameIndex(item) + (m_nCheck == 1 ? 1 : 0);
}

void CImageCheckButton::OnLButtonUp(UINT, POINT point)
{
    RECT client{};
    GetClientRect(&client);
    // The right and bottom edges count as inside.
    if (point.x >= client.left && point.x <= client.right && point.y >= client.top && point.y <= client.bottom)
        SendMessage(BM_SETCHECK, m_nCheck == 0 ? 1 : 0, 0);
    Default();
}

LRESULT CImageCheckButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_LBUTTONUP) {
        OnLButtonUp(static_cast<UINT>(wParam), POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    }
    return CImageButton::WindowProc(message, wParam, lParam);
}

LRESULT CImageCheckButton::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case BM_SETCHECK:
        m_nCheck = static_cast<int>(wParam);
        Invalidate(TRUE);
        return CImageButton::DefWindowProc(message, wParam, lParam);
    case BM_GETCHECK:
        return m_nCheck;
    case WM_LBUTTONDBLCLK:
        // The owner-drawn system button only reports a double click; the
        // second click of one must press the box like the first.
        return CImageButton::DefWindowProc(WM_LBUTTONDOWN, wParam, lParam);
    default:
        return CImageButton::DefWindowProc(message, wParam, lParam);
    }
}
