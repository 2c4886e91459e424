// CImageButton: an owner-drawn push button whose whole look is a five-frame
// strip (normal, mouse over, pressed, focused, disabled) drawn over its
// background snapshot. Clicks reach the parent as the button's BN_CLICKED.
#pragma once

#include "framework/Bitmap.h"
#include "framework/Button.h"
#include "framework/Image.h"

class CImageButton : public CButton {
public:
    enum Frame { kNormal = 0, kHover = 1, kPressed = 2, kFocused = 3, kDisabled = 4 };

    int m_nFrameHeight = 0;  // image height / m_nFrameCount; set by SetImage
    int m_nFrameWidth = 0;   // image width; set by SetImage
    int m_nFrameCount = 5;
    bool m_bHover = false;
    bool m_bTracking = false;  // a hover and leave request is active
    CBitmap m_bmpBackground;
    CImage m_image;

    CImageButton() = default;
    ~CImageButton() override = default;

    // Loads the strip and sets the frame size; neither redraws nor resizes.
    // TRUE whether or not the strip loaded (a missing one gives size 0).
    virtual BOOL SetImage(UINT resourceId);
    virtual BOOL SetImage(LPCWSTR resourceName);
    // The strip drawn for dpi (LoadPngResourceForDpi), with the frame size at
    // that DPI. The background snapshot is dropped: a control given a picture
    // of another size is placed anew, and takes it again at its next erase.
    BOOL SetImageForDpi(UINT resourceId, UINT dpi);
    // Resizes the window to one frame.
    virtual BOOL SizeToContent();
    // The frame for the draw request's item state.
    virtual int GetFrameIndex(const DRAWITEMSTRUCT* item);

    virtual BOOL OnEraseBkgnd(HDC dc);
    virtual void OnMouseHover(UINT flags, POINT point);
    virtual void OnMouseLeave();
    virtual void OnMouseMove(UINT flags, POINT point);
    virtual void OnLButtonDown(UINT flags, POINT point);
    virtual void OnSetFocus(HWND previous);
    virtual void OnKillFocus(HWND next);

    // Paints the snapshot and the frame of the request's state into its DC.
    void DrawItem(DRAWITEMSTRUCT* item) override;

protected:
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};
