#include "framework/DialogEx.h"

INT_PTR CDialogEx::DoModal()
{
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nTemplateId), m_hParent,
                             &StaticDialogProc, reinterpret_cast<LPARAM>(this));
}

void CDialogEx::EndDialog(INT_PTR result)
{
    ::EndDialog(m_hWnd, result);
}

INT_PTR CALLBACK CDialogEx::StaticDialogProc(HWND wnd, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return FALSE;  // everything else was offered to WindowProc already
    auto* self = reinterpret_cast<CDialogEx*>(lParam);
    if (!self->SubclassWindow(wnd)) {
        ::EndDialog(wnd, -1);
        return FALSE;
    }
    const BOOL result = self->OnInitDialog();
    // Like the framework's dialogs: an unowned dialog opens in the middle of
    // the screen's work area.
    self->CenterWindow();
    return result;
}

void CDialogEx::CenterWindow()
{
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    RECT area{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    const int x = area.left + (area.right - area.left - width) / 2;
    const int y = area.top + (area.bottom - area.top - height) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x > area.left ? x : area.left, y > area.top ? y : area.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CDialogEx::OnCommand(WPARAM, LPARAM)
{
    return FALSE;
}

LRESULT CDialogEx::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND) {
        switch (LOWORD(wParam)) {
        case IDOK:
            OnOK();
            return 0;
        case IDCANCEL:
            OnCancel();
            return 0;
        default:
            if (OnCommand(wParam, lParam))
                return 0;
            break;
        }
    }
    return CWnd::WindowProc(message, wParam, lParam);
}
