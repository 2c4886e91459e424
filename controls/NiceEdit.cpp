#include "controls/NiceEdit.h"

#include <windowsx.h>

#include "framework/Handles.h"

void CNiceEdit::SetHighlightColor(COLORREF color)
{
    m_highlightPen.DeleteObject();
    m_highlightPen.CreatePen(PS_SOLID, 1, color);
}

void CNiceEdit::RedrawFrame()
{
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
}

void CNiceEdit::OnTrackHover()
{
    RedrawFrame();
}

void CNiceEdit::OnTrackLeave()
{
    RedrawFrame();
}

void CNiceEdit::OnTrackFocus()
{
    RedrawFrame();
}

void CNiceEdit::OnTrackKillFocus()
{
    RedrawFrame();
}

void CNiceEdit::PaintFrame(HDC dc, int width, int height)
{
    const bool writable = IsWindowEnabled() && !(GetStyle() & ES_READONLY);
    qxt::UniqueGdiObject brush(::CreateSolidBrush(::GetSysColor(writable ? COLOR_WINDOW : COLOR_BTNFACE)));
    qxt::SelectObjectGuard selectBrush(dc, brush.Get());
    RECT rect{0, 0, width, height};
    if (!m_bHover && !m_bFocus) {
        ::Rectangle(dc, 0, 0, width, height);
        ::DrawEdge(dc, &rect, EDGE_SUNKEN, BF_RECT | BF_FLAT);
        return;
    }
    if (!m_highlightPen.GetSafeHandle())
        m_highlightPen.CreatePen(PS_SOLID, 1, kHighlightColor);
    qxt::SelectObjectGuard selectPen(dc, m_highlightPen.GetSafeHandle());
    ::Rectangle(dc, 0, 0, width, height);
}

void CNiceEdit::OnNcPaint()
{
    qxt::WholeWindowDc windowDc(m_hWnd);
    const HDC dc = windowDc.Get();
    if (!dc)
        return;
    RECT window{};
    GetWindowRect(&window);
    // The fill leaves the client area alone: the edit's text stays as it
    // is, and no repaint is needed after the frame (asking for one with the
    // frame included would paint the frame again, and again).
    RECT client{};
    GetClientRect(&client);
    ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
    ::OffsetRect(&client, -window.left, -window.top);
    ::ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);
    PaintFrame(dc, window.right - window.left, window.bottom - window.top);
}

LRESULT CNiceEdit::OnNcCalcSize(BOOL, NCCALCSIZE_PARAMS* params)
{
    const LRESULT result = Default();
    // The line of the DC's own font; and of the edit's font, where that is
    // taller: a font made for a larger display scale than the system's (the
    // dialog on a screen of another scale) must not lose its lower half.
    int line = 0;
    {
        qxt::WindowDc dc(m_hWnd);
        TEXTMETRICW metrics{};
        ::GetTextMetricsW(dc.Get(), &metrics);
        line = metrics.tmHeight + metrics.tmExternalLeading;
        if (HFONT font = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT))) {
            qxt::SelectObjectGuard select(dc.Get(), font);
            TEXTMETRICW own{};
            if (::GetTextMetricsW(dc.Get(), &own) && own.tmHeight + own.tmExternalLeading > line)
                line = own.tmHeight + own.tmExternalLeading;
        }
    }
    RECT& proposed = params->rgrc[0];
    const int margin = (proposed.bottom - proposed.top - line) / 2;
    proposed.top += margin;
    proposed.bottom -= margin;
    return result;
}

LRESULT CNiceEdit::OnNcHitTest(POINT point)
{
    RECT window{};
    GetWindowRect(&window);
    if (point.x > window.left && point.x < window.right && point.y > window.top && point.y < window.bottom)
        return HTCLIENT;
    return HTNOWHERE;
}

LRESULT CNiceEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NCPAINT:
        OnNcPaint();
        return 0;
    case WM_NCCALCSIZE:
        return OnNcCalcSize(static_cast<BOOL>(wParam), reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam));
    case WM_NCHITTEST:
        return OnNcHitTest(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    default:
        return CTrackControl<CEdit>::WindowProc(message, wParam, lParam);
    }
}
