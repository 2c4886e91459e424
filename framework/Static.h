// CStatic: a static control; owner-drawn statics paint in DrawItem, which the
// parent reflects back to them.
#pragma once

#include "framework/Wnd.h"

class CStatic : public CWnd {
public:
    virtual void DrawItem(DRAWITEMSTRUCT*) {}

protected:
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        if (message != WM_DRAWITEM)
            return CWnd::OnChildNotify(message, wParam, lParam, result);
        DrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
        *result = TRUE;
        return TRUE;
    }
};
