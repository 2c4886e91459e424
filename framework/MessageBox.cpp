#include "framework/MessageBox.h"

#include "framework/ExecutableName.h"
#include "framework/LogFile.h"

#include <atomic>

namespace {

constexpr UINT kAppTitleStringId = 0xE000;  // AFX_IDS_APP_TITLE

std::atomic<HWND> g_mainWnd{nullptr};

// The box's owner: the main window's top-level window, or the popup last
// active over it so that a box raised while another box is up stays on top.
HWND MessageBoxOwner()
{
    HWND wnd = g_mainWnd.load();
    if (wnd == nullptr || !::IsWindow(wnd))
        return nullptr;
    while (wnd != nullptr && (::GetWindowLongW(wnd, GWL_STYLE) & WS_CHILD))
        wnd = ::GetParent(wnd);
    return wnd ? ::GetLastActivePopup(wnd) : nullptr;
}

}  // namespace

HWND AfxGetMainWnd()
{
    return g_mainWnd.load();
}

void AfxSetMainWnd(HWND wnd)
{
    g_mainWnd.store(wnd);
}

std::wstring AfxGetAppName()
{
    const wchar_t* title = nullptr;
    // With a length of 0 LoadStringW hands out a pointer to the resource itself.
    const int titleLength =
        ::LoadStringW(::GetModuleHandleW(nullptr), kAppTitleStringId, reinterpret_cast<wchar_t*>(&title), 0);
    if (titleLength > 0 && title != nullptr)
        return std::wstring(title, titleLength);

    return ExecutableBaseName();
}

namespace {
volatile LONG g_messageBoxesSuppressed = 0;
}

void SuppressMessageBoxes(bool suppress)
{
    ::InterlockedExchange(&g_messageBoxesSuppressed, suppress ? 1 : 0);
}

int AfxMessageBox(const wchar_t* text, UINT type)
{
    if (g_messageBoxesSuppressed) {
        LogLine(L"Message box not shown (silent run): %ls", text);
        switch (type & MB_TYPEMASK) {
        case MB_OK: return IDOK;
        case MB_ABORTRETRYIGNORE: return IDABORT;
        case MB_YESNO: return IDNO;
        default: return IDCANCEL;
        }
    }
    if ((type & MB_ICONMASK) == 0) {
        switch (type & MB_TYPEMASK) {
        case MB_OK:
        case MB_OKCANCEL:
            type |= MB_ICONEXCLAMATION;
            break;
        case MB_YESNO:
        case MB_YESNOCANCEL:
            type |= MB_ICONQUESTION;
            break;
        default:
            break;
        }
    }
    const std::wstring caption = AfxGetAppName();
    return ::MessageBoxW(MessageBoxOwner(), text, caption.c_str(), type);
}
