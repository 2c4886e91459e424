#include "controls/ImageButton.h"

#include <commctrl.h>
#include <windowsx.h>

#include "controls/BackgroundSnapshot.h"
#include "controls/FrameStrip.h"
#include "controls/LoadPngResource.h"
#include "controls/TrackControl.h"

namespace {

POINT PointOf(LPARAM lParam)
{
    return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

}  // namespace

BOOL CImageButton::SetImage(UINT resourceId)
{
    return SetImage(MAKEINTRESOURCEW(resourceId));
}

BOOL CImageButton::SetImage(LPCWSTR resourceName)
{
    // An image object loads once; a second strip replaces the first.
    m_image.Destroy();
    LoadPngResource(m_image, resourceName);
    m_nFrameWidth = m_image.GetWidth();
    m_nFrameHeight = m_nFrameCount > 0 ? m_image.GetHeight() / m_nFrameCount : 0;
    return TRUE;
}

BOOL CImageButton::SetImageForDpi(UINT resourceId, UINT dpi)
{
    m_image.Destroy();
    LoadPngResourceForDpi(m_image, MAKEINTRESOURCEW(resourceId), dpi, m_nFrameCount);
    m_nFrameWidth = m_image.GetWidth();
    m_nFrameHeight = m_nFrameCount > 0 ? m_image.GetHeight() / m_nFrameCount : 0;
    m_bmpBackground.DeleteObject();
    return TRUE;
}

BOOL CImageButton::SizeToContent()
{
    return SetWindowPos(nullptr, 0, 0, m_nFrameWidth, m_nFrameHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

int CImageButton::GetFrameIndex(const DRAWITEMSTRUCT* item)
{
    const UINT state = item->itemState;
    if (state & ODS_DISABLED)
        return kDisabled;
    if (state & ODS_SELECTED)
        return kPressed;
    if (m_bHover)
        return kHover;
    if (state & ODS_FOCUS)
        return kFocused;
    return kNormal;
}

void CImageButton::PreSubclassWindow()
{
    CButton::PreSubclassWindow();
    ModifyStyle(0, BS_OWNERDRAW);
}

void CImageButton::DrawItem(DRAWITEMSTRUCT* item)
{
    const int frame = GetFrameIndex(item);
    DrawBackgroundSnapshot(m_hWnd, m_bmpBackground, item->hDC);
    DrawStripFrame(m_image, item->hDC, item->rcItem, frame, m_nFrameHeight);
}

BOOL CImageButton::OnEraseBkgnd(HDC)
{
    TakeBackgroundSnapshot(m_hWnd, m_bmpBackground);
    return TRUE;
}

void CImageButton::OnMouseMove(UINT, POINT)
{
    if (!m_bTracking) {
        m_bHover = true;
        m_bTracking = RequestMouseTracking(m_hWnd, 30);
    }
    Default();
}

void CImageButton::OnMouseHover(UINT, POINT)
{
    m_bHover = true;
    Invalidate(TRUE);
    Default();
}

void CImageButton::OnMouseLeave()
{
    m_bHover = false;
    m_bTracking = false;
    Invalidate(TRUE);
    Default();
}

void CImageButton::OnLButtonDown(UINT, POINT)
{
    Invalidate(TRUE);
    Default();
}

void CImageButton::OnSetFocus(HWND)
{
    Invalidate(TRUE);
    Default();
}

void CImageButton::OnKillFocus(HWND)
{
    Invalidate(TRUE);
    Default();
}

LRESULT CImageButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        return OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
    case WM_MOUSEHOVER:
        OnMouseHover(static_cast<UINT>(wParam), PointOf(lParam));
        return 0;
    case WM_MOUSELEAVE:
        OnMouseLeave();
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(static_cast<UINT>(wParam), PointOf(lParam));
        return 0;
    case WM_LBUTTONDOWN:
        OnLButtonDown(static_cast<UINT>(wParam), PointOf(lParam));
        return 0;
    case WM_KILLFOCUS:
        OnKillFocus(reinterpret_cast<HWND>(wParam));
        return 0;
    case WM_SETFOCUS:
        OnSetFocus(reinterpret_cast<HWND>(wParam));
        return 0;
    default:
        return CButton::WindowProc(message, wParam, lParam);
    }
}
