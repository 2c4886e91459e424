// CDialogEx: a modal dialog from a dialog template of the executable.
//
// DoModal runs the system's modal dialog loop (DialogBoxParamW, so Enter and
// Escape become IDOK and IDCANCEL commands). The object is bound to the
// dialog window when the system sends WM_INITDIALOG: PreSubclassWindow runs,
// our window procedure goes in front of the dialog class's own, and then
// OnInitDialog runs. From then on every message reaches WindowProc first and
// what it passes on goes to the dialog class's procedure (default dialog
// handling, which asks StaticDialogProc and gets "not handled").
#pragma once

#include "framework/Wnd.h"

class CDialogEx : public CWnd {
public:
    explicit CDialogEx(UINT templateId, HWND parent = nullptr) noexcept
        : m_nTemplateId(templateId), m_hParent(parent)
    {
    }

    // Runs the dialog until EndDialog; returns its result, or -1 when the
    // dialog could not be created.
    virtual INT_PTR DoModal();
    void EndDialog(INT_PTR result);
    // Centres the window on the screen's work area.
    void CenterWindow();

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // WM_COMMAND other than IDOK and IDCANCEL; true when handled.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    static INT_PTR CALLBACK StaticDialogProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_nTemplateId;
    HWND m_hParent;
};
