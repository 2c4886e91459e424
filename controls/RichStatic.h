// CRichStatic: an owner-drawn static text in a colour of its own, on its
// background snapshot or on a solid colour, aligned in its rectangle and cut
// into lines by a character count when it is wider than the control. It
// repaints at once whenever its text is set.
#pragma once

#include <windows.h>
#include <commctrl.h>  // CLR_NONE

#include "framework/Bitmap.h"
#include "framework/Handles.h"
#include "framework/Static.h"

class CRichStatic : public CStatic {
public:
    enum Align {
        ALIGN_LEFT = 1,
        ALIGN_CENTER = 2,
        ALIGN_RIGHT = 4,
        ALIGN_TOP = 8,
        ALIGN_MIDDLE = 16,
        ALIGN_BOTTOM = 32,
    };
    static constexpr int kHeight = 20;

    COLORREF m_crText = RGB(0, 0, 0);
    COLORREF m_crBack = CLR_NONE;  // CLR_NONE: the background snapshot instead of a colour
    CBitmap m_bmpBackground;
    qxt::FontHandle m_font;  // empty: the DC's own font
    int m_nHAlign = ALIGN_LEFT;
    int m_nVAlign = ALIGN_TOP;

    CRichStatic() = default;

    // Used from the next paint on.
    void SetTextColor(COLORREF color) { m_crText = color; }
    // Places the control in its parent, 20 pixels high at 96 dpi (the
    // owner passes the height at its display scale); a move drops the
    // snapshot and repaints the parent under the old and new places.
    void SetPosition(int x, int y, int width, int height = kHeight);

    // Characters per line for a text of `length` characters measuring
    // `textWidth` pixels in a control `controlWidth` wide; at least one.
    static int CharactersPerLine(int length, int textWidth, int controlWidth);

    void DrawItem(DRAWITEMSTRUCT* item) override;

protected:
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnSetText(WPARAM wParam, LPARAM lParam);
    BOOL OnEraseBkgnd(HDC dc);
};
