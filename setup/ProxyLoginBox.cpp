#include "setup/ProxyLoginBox.h"

#include "framework/FormatText.h"
#include "res/resource.h"

#include <string>

namespace {

std::wstring ControlText(HWND box, int id)
{
    const HWND control = ::GetDlgItem(box, id);
    const int length = ::GetWindowTextLengthW(control);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    ::GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

void ShowRequest(HWND box, const ProxyLoginRequest& request)
{
    const std::wstring proxy = request.proxy.empty() ? L"" : L" " + request.proxy;
    const std::wstring realm = request.realm.empty() ? L"" : L"（" + request.realm + L"）";
    const std::wstring prompt = L"网络中的代理服务器" + proxy + realm + L"要求登录，请输入用户名和密码：";
    ::SetDlgItemTextW(box, IDC_PROXY_PROMPT, prompt.c_str());
    ::SetDlgItemTextW(box, IDC_PROXY_REFUSED, request.refused ? L"用户名或密码不正确，请重新输入。" : L"");
    ::SetDlgItemTextW(box, IDC_PROXY_USER, request.user.c_str());
    // A name given before (refused or from the command line) stays; the
    // password is typed again.
    ::SetFocus(::GetDlgItem(box, request.user.empty() ? IDC_PROXY_USER : IDC_PROXY_PASSWORD));
}

INT_PTR CALLBACK ProxyLoginProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        ::SetWindowLongPtrW(box, DWLP_USER, lParam);
        ShowRequest(box, *reinterpret_cast<ProxyLoginRequest*>(lParam));
        return FALSE;  // the focus is set
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            auto* request = reinterpret_cast<ProxyLoginRequest*>(::GetWindowLongPtrW(box, DWLP_USER));
            request->user = ControlText(box, IDC_PROXY_USER);
            request->password = ControlText(box, IDC_PROXY_PASSWORD);
            // The edit control's copy goes with the box; ours with the request.
            ::SetDlgItemTextW(box, IDC_PROXY_PASSWORD, L"");
            if (request->user.empty()) {
                ::SetFocus(::GetDlgItem(box, IDC_PROXY_USER));
                return TRUE;
            }
            ::EndDialog(box, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            ::EndDialog(box, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR AskProxyLogin(HWND owner, ProxyLoginRequest& request)
{
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROXY_LOGIN), owner, ProxyLoginProc,
                             reinterpret_cast<LPARAM>(&request));
}
