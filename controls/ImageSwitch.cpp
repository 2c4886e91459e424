#include "controls/ImageSwitch.h"

#include <commctrl.h>
#include <windowsx.h>

#include "controls/BackgroundSnapshot.h"
#include "controls/FrameStrip.h"
#include "controls/LoadPngResource.h"
#include "controls/TrackControl.h"
#include "framework/Handles.h"

BOOL CImageSwitch::SetImage(UINT resourceId)
{
    m_image.Destroy();
    const BOOL loaded = LoadPngResource(m_image, MAKEINTRESOURCEW(resourceId));
    m_nFrameWidth = m_image.GetWidth();
    m_nFrameHeight = m_image.GetHeight() / 2;
    return loaded;
}

BOOL CImageSwitch::SetImageForDpi(UINT resourceId, UINT dpi)
{
    m_image.Destroy();
    const BOOL loaded = LoadPngResourceForDpi(m_image, MAKEINTRESOURCEW(resourceId), dpi, 2);
    m_nFrameWidth = m_image.GetWidth();
    m_nFrameHeight = m_image.GetHeight() / 2;
    m_bmpBackground.DeleteObject();
    return loaded;
}

void CImageSwitch::SetSelected(BOOL selected)
{
    const int state = selected ? 1 : 0;
    if (m_bSelected == state)
        return;
    m_bSelected = state;
    Invalidate(TRUE);
    if (IsWindowEnabled())
        ::SendMessageW(GetParent(), WM_IMAGESWITCH_SELECTED, reinterpret_cast<WPARAM>(m_hWnd), state);
}

void CImageSwitch::PreSubclassWindow()
{
    CStatic::PreSubclassWindow();
    // SS_NOTIFY: the static takes mouse input instead of passing it through.
    ModifyStyle(0, SS_NOTIFY | 0x000B);
}

void CImageSwitch::Paint(HDC dc)
{
    RECT client{};
    GetClientRect(&client);
    DrawStripFrame(m_image, dc, client, m_bSelected == 1 ? 1 : 0, m_nFrameHeight);
}

BOOL CImageSwitch::OnEraseBkgnd(HDC dc)
{
    // Right after the snapshot the parent's pixels are still in place.
    if (!m_bmpBackground.GetSafeHandle())
        TakeBackgroundSnapshot(m_hWnd, m_bmpBackground);
    else
        DrawBackgroundSnapshot(m_hWnd, m_bmpBackground, dc);
    return TRUE;
}

void CImageSwitch::OnPaint()
{
    qxt::PaintDc dc(m_hWnd);
    Paint(dc.Get());
}

void CImageSwitch::OnMouseMove()
{
    if (!m_bTracking) {
        SetSelected(TRUE);
        m_bTracking = RequestMouseTracking(m_hWnd, 50);
    }
    Default();
}

void CImageSwitch::OnMouseHover()
{
    SetSelected(TRUE);
    ::SendMessageW(GetParent(), WM_IMAGESWITCH_HOVER, reinterpret_cast<WPARAM>(m_hWnd), 1);
    Default();
}

void CImageSwitch::OnMouseLeave()
{
    m_bTracking = false;
    ::SendMessageW(GetParent(), WM_IMAGESWITCH_HOVER, reinterpret_cast<WPARAM>(m_hWnd), 0);
    Default();
}

void CImageSwitch::OnLButtonDown(POINT point)
{
    RECT window{};
    GetWindowRect(&window);
    ::SendMessageW(GetParent(), WM_NCLBUTTONDOWN, HTCAPTION,
                   MAKELPARAM(window.left + point.x, window.top + point.y));
    Default();
}

LRESULT CImageSwitch::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        return OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
    case WM_MOUSEHOVER:
        OnMouseHover();
        return 0;
    case WM_MOUSELEAVE:
        OnMouseLeave();
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove();
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_LBUTTONDOWN:
        OnLButtonDown(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_ENABLE:
        // Enabling or disabling changes nothing on the screen.
        return 0;
    default:
        return CStatic::WindowProc(message, wParam, lParam);
    }
}
