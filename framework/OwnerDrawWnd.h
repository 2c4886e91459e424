// COwnerDrawWnd: a control that can paint itself. Its parent reflects
// WM_DRAWITEM back to it (see CWnd::WindowProc) and it draws in DrawItem.
#pragma once

#include "framework/Wnd.h"

class COwnerDrawWnd : public CWnd {
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
