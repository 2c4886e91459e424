#include "controls/RichStatic.h"

#include "controls/BackgroundSnapshot.h"
#include "framework/Handles.h"

void CRichStatic::PreSubclassWindow()
{
    CStatic::PreSubclassWindow();
    ModifyStyle(0, SS_OWNERDRAW);
}

void CRichStatic::SetPosition(int x, int y, int width, int height)
{
    HWND parent = GetParent();
    RECT before{};
    GetWindowRect(&before);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&before), 2);

    // Like MoveWindow with repainting, but without carrying the old pixels
    // along: the copy would show the old background at the new place, and the
    // next erase would keep it as the new snapshot.
    SetWindowPos(nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);

    RECT after{};
    GetWindowRect(&after);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&after), 2);

    if (!::EqualRect(&before, &after) && m_bmpBackground.GetSafeHandle()) {
        m_bmpBackground.DeleteObject();
        ::InvalidateRect(parent, &before, TRUE);
        ::InvalidateRect(parent, &after, TRUE);
        ::UpdateWindow(parent);
    }
}

int CRichStatic::CharactersPerLine(int length, int textWidth, int controlWidth)
{
    if (length <= 0)
        return 0;
    const int perLine = controlWidth / (textWidth / length + 1);
    // A control too narrow for one character still shows one per line, so
    // that drawing comes to an end.
    return perLine > 0 ? perLine : 1;
}

void CRichStatic::DrawItem(DRAWITEMSTRUCT* item)
{
    HDC dc = item->hDC;
    RECT window{};
    GetWindowRect(&window);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;

    if (m_crBack != CLR_NONE) {
        qxt::UniqueGdiObject brush(::CreateSolidBrush(m_crBack));
        qxt::SelectObjectGuard selectBrush(dc, brush.Get());
        qxt::SelectObjectGuard selectPen(dc, ::GetStockObject(NULL_PEN));
        ::Rectangle(dc, 0, 0, width, height);
    }

    HGDIOBJ previousFont = m_font ? ::SelectObject(dc, m_font.Get()) : nullptr;

    const std::wstring text = GetWindowText();
    const int length = static_cast<int>(text.size());
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, text.c_str(), length, &extent);

    if (length >= 1) {
        const int perLine = CharactersPerLine(length, extent.cx, width);
        const int lineStep = static_cast<int>(extent.cy * 1.3);

        int x = 0;
        int y = 0;
        if (!(m_nHAlign == ALIGN_LEFT && m_nVAlign == ALIGN_TOP)) {
            if (m_nHAlign == ALIGN_RIGHT)
                x = width - extent.cx;
            else if (m_nHAlign == ALIGN_CENTER)
                x = (width - extent.cx) / 2;
            if (m_nVAlign == ALIGN_BOTTOM)
                y = height - extent.cy;
            else if (m_nVAlign == ALIGN_MIDDLE)
                y = (height - extent.cy) / 2;
        }

        ::SetTextColor(dc, m_crText);
        ::SetBkMode(dc, TRANSPARENT);
        for (int p = 0; p < length; p += perLine) {
            const int count = length - p < perLine ? length - p : perLine;
            ::TextOutW(dc, x, y, text.c_str() + p, count);
            y += lineStep;
        }
    }

    if (previousFont)
        ::SelectObject(dc, previousFont);
}

LRESULT CRichStatic::OnSetText(WPARAM wParam, LPARAM lParam)
{
    // Stored only, as the default window procedure does: the static control
    // would also paint the new text at once (Wine's does), without erasing,
    // and if that came before the first erase, the text would end up in the
    // background snapshot and show under every later text.
    const LRESULT result = ::DefWindowProcW(m_hWnd, WM_SETTEXT, wParam, lParam);
    // Erased and drawn at once: the old text goes under the fresh background.
    Invalidate(TRUE);
    UpdateWindow();
    return result;
}

BOOL CRichStatic::OnEraseBkgnd(HDC dc)
{
    if (m_crBack != CLR_NONE)
        return TRUE;  // DrawItem fills the background
    TakeBackgroundSnapshot(m_hWnd, m_bmpBackground, dc);
    DrawBackgroundSnapshot(m_hWnd, m_bmpBackground, dc);
    return TRUE;
}

LRESULT CRichStatic::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETTEXT:
        return OnSetText(wParam, lParam);
    case WM_ERASEBKGND:
        return OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
    default:
        return CStatic::WindowProc(message, wParam, lParam);
    }
}
