// CEdit: an edit control.
#pragma once

#include "framework/Wnd.h"

class CEdit : public CWnd {
public:
    void SetSel(int start, int end) { SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end); }
    void SetReadOnly(BOOL readOnly = TRUE) { SendMessage(EM_SETREADONLY, static_cast<WPARAM>(readOnly)); }
};
