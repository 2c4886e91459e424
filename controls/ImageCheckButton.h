// CImageCheckButton: an image button with a ten-frame strip and a check
// state of its own: frame 2k shows state k of the button unchecked, 2k + 1
// checked. A click toggles the state before the parent hears BN_CLICKED.
#pragma once

#include "controls/ImageButton.h"

class CImageCheckButton : public CImageButton {
public:
    // 0 unchecked, 1 checked; any other value is kept and drawn unchecked.
    int m_nCheck = 0;

    CImageCheckButton() { m_nFrameCount = 10; }
    ~CImageCheckButton() override = default;

    int GetFrameIndex(const DRAWITEMSTRUCT* item) override;
    virtual void OnLButtonUp(UINT flags, POINT point);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};
