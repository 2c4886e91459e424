// CButton: a button window; owner-drawn buttons paint in DrawItem, which the
// parent reflects back to them.
#pragma once

#include "framework/OwnerDrawWnd.h"

class CButton : public COwnerDrawWnd {
public:
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
    UINT GetState() const { return static_cast<UINT>(SendMessage(BM_GETSTATE)); }
    void SetState(BOOL highlight) { SendMessage(BM_SETSTATE, static_cast<WPARAM>(highlight)); }
};
