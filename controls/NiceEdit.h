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

    // Pen of the highlighted frame, owned and deleted by the edit; created on
    // first need unless the owner sets one before the first paint.
    CPen* m_pHighlightPen = nullptr;

    CNiceEdit() = default;
    ~CNiceEdit() override;

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
};
