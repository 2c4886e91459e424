// CNiceEdit: a flat single-line edit box. It paints its own frame over the
// whole non-client area, a thin sunken edge when idle and a one-pixel blue
// rectangle while the mouse rests on it or it has the focus, and narrows its
// client area to one text line centred between the borders.
#pragma once

#include "controls/TrackControl.h"
#include "framework/Edit.h"
#include "framework/Pen.h"

class CNiceEdit : public CTrackControl<CEdit> {
public:
    static constexpr COLORREF kHighlightColor = RGB(14, 103, 176);

    CNiceEdit() = default;

    // The highlighted frame in a one-pixel pen of this colour instead of
    // kHighlightColor; from the next paint on.
    void SetHighlightColor(COLORREF color);
    // The pen of the highlighted frame; none until the owner sets a colour or
    // the frame is first highlighted.
    HPEN HighlightPen() const noexcept { return m_highlightPen.GetSafeHandle(); }

    void OnTrackHover() override;
    void OnTrackLeave() override;
    void OnTrackFocus() override;
    void OnTrackKillFocus() override;

    // Paints the frame into a DC of the whole window (width x height).
    void PaintFrame(HDC dc, int width, int height);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnNcPaint();
    LRESULT OnNcCalcSize(BOOL calcValidRects, NCCALCSIZE_PARAMS* params);
    LRESULT OnNcHitTest(POINT point);
    void RedrawFrame();

    CPen m_highlightPen;
};
