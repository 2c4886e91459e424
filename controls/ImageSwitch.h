// CImageSwitch: a static control showing one of two frames of a strip, the
// normal picture or, once selected, the selected one. The mouse moving onto
// it selects it; it tells its parent about every change of its selected state
// while it is enabled (WM_IMAGESWITCH_SELECTED) and about the mouse resting
// on it and leaving it (WM_IMAGESWITCH_HOVER). A left click drags the parent.
#pragma once

#include "framework/Bitmap.h"
#include "framework/Image.h"
#include "framework/Static.h"

// Image switch -> parent: the switch's window in wParam, the new state in lParam.
constexpr UINT WM_IMAGESWITCH_SELECTED = WM_USER + 100;
constexpr UINT WM_IMAGESWITCH_HOVER = WM_USER + 101;

class CImageSwitch : public CStatic {
public:
    int m_nFrameHeight = 0;    // image height / 2; set by SetImage
    int m_nFrameWidth = 0;     // image width; set by SetImage
    bool m_bTracking = false;  // a hover and leave request is active
    int m_bSelected = 0;
    CBitmap m_bmpBackground;
    CImage m_image;

    CImageSwitch() = default;
    ~CImageSwitch() override = default;

    // Loads the two-frame strip and sets the frame size; neither redraws nor resizes.
    BOOL SetImage(UINT resourceId);
    // The strip drawn for dpi, with the frame size at that DPI; drops the
    // background snapshot, as the switch is placed anew.
    BOOL SetImageForDpi(UINT resourceId, UINT dpi);
    void SetSelected(BOOL selected);
    BOOL IsSelected() const { return m_bSelected == 1; }

    // Paints the frame of the selected state into dc (over what dc holds).
    void Paint(HDC dc);

protected:
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    BOOL OnEraseBkgnd(HDC dc);
    void OnMouseHover();
    void OnMouseLeave();
    void OnMouseMove();
    void OnPaint();
    void OnLButtonDown(POINT point);
};
