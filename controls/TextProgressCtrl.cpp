#include "controls/TextProgressCtrl.h"

#include <cwchar>

#include "framework/FormatText.h"
#include "framework/Handles.h"

std::wstring CTextProgressCtrl::PercentText(int pos, int lower, int upper)
{
    int percent = 0;
    if (upper != lower) {
        const double fraction = (static_cast<double>(pos) - lower) / (static_cast<double>(upper) - lower);
        percent = static_cast<int>(fraction * 100.0 + 0.5);
    }
    wchar_t text[16];
    FormatText(text, 16, L"%d%%", percent);
    return text;
}

std::wstring CTextProgressCtrl::GetPercentText() const
{
    int lower = 0;
    int upper = 0;
    GetRange(lower, upper);
    return PercentText(GetPos(), lower, upper);
}

void CTextProgressCtrl::DrawPercentage(HDC dc)
{
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(GetParent(), WM_GETFONT, 0, 0));
    HGDIOBJ previousFont = font ? ::SelectObject(dc, font) : nullptr;

    const std::wstring text = GetPercentText();
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(0, 0, 0));
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    RECT client{};
    GetClientRect(&client);
    const int x = client.left + (client.right - client.left - extent.cx) / 2;
    const int y = client.top + (client.bottom - client.top - extent.cy) / 2;
    RECT box{x, y, x + extent.cx, y + extent.cy};
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, 0);

    if (previousFont)
        ::SelectObject(dc, previousFont);
}

void CTextProgressCtrl::OnPaint()
{
    // The system draws the bar and ends its paint cycle; the text goes on top.
    Default();
    qxt::WindowDc dc(m_hWnd);
    if (dc)
        DrawPercentage(dc.Get());
}

void CTextProgressCtrl::OnLButtonDown(LPARAM position)
{
    ::SendMessageW(GetParent(), WM_NCLBUTTONDOWN, HTCAPTION, position);
    Default();
}

LRESULT CTextProgressCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_LBUTTONDOWN:
        OnLButtonDown(lParam);
        return 0;
    case WM_ERASEBKGND:
        Default();
        return TRUE;
    case WM_PAINT:
        OnPaint();
        return 0;
    default:
        return CProgressCtrl::WindowProc(message, wParam, lParam);
    }
}
