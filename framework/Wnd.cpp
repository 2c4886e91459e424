#include "framework/Wnd.h"

namespace {

// The object of a bound window, and the procedure that was the window's
// before ours. The second outlives the first when another subclasser put
// itself in front of us: our procedure then stays in the chain and must
// still pass messages on after the object has gone.
const wchar_t kObjectProperty[] = L"QxtWnd.Object";
const wchar_t kSuperProperty[] = L"QxtWnd.Super";
const wchar_t kPlainClassName[] = L"QxtWindow";

// A pointer of each thread's own, in a Win32 TLS slot: mingw's thread_local
// goes through emulated TLS and brings the pthread library (about 30 KB)
// into the program.
template <typename T>
class ThreadSlot {
public:
    ThreadSlot() : m_index(::TlsAlloc()) {}
    T Get() const
    {
        // TlsGetValue clears the last error, which a failed CreateWindowEx has set.
        const DWORD error = ::GetLastError();
        const T value = static_cast<T>(::TlsGetValue(m_index));
        ::SetLastError(error);
        return value;
    }
    void Set(T value) const { ::TlsSetValue(m_index, value); }

private:
    DWORD m_index;
};

// Binding of windows created on this thread (CreateEx, HookWindowCreate).
ThreadSlot<CWnd*> t_pendingWindow;
ThreadSlot<HHOOK> t_creationHook;

// Registered by the first window that needs it; a class registered by
// another thread in the meantime is as good. Asked of the system every time,
// not kept in a function's static, whose guard would bring the pthread
// library in as well.
bool RegisterPlainClass()
{
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (::GetClassInfoExW(instance, kPlainClassName, &wc))
        return true;
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kPlainClassName;
    return ::RegisterClassExW(&wc) || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

CWnd::~CWnd()
{
    if (!m_hWnd)
        return;
    // Unbind before destroying: the derived parts of this object are gone,
    // so none of the window's last messages may reach it.
    const bool created = m_bCreated;
    HWND wnd = m_hWnd;
    Unbind();
    if (created)
        ::DestroyWindow(wnd);
}

CWnd* CWnd::FromHandlePermanent(HWND wnd) noexcept
{
    return wnd ? static_cast<CWnd*>(::GetPropW(wnd, kObjectProperty)) : nullptr;
}

bool CWnd::Bind(HWND wnd)
{
    if (m_hWnd || !wnd || FromHandlePermanent(wnd))
        return false;
    if (!::SetPropW(wnd, kObjectProperty, this))
        return false;
    m_hWnd = wnd;
    PreSubclassWindow();
    auto previous = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StaticWindowProc)));
    if (!previous) {
        ::RemovePropW(wnd, kObjectProperty);
        m_hWnd = nullptr;
        return false;
    }
    // A window that was bound before and is still chained through us keeps
    // its first previous procedure.
    if (previous == &StaticWindowProc)
        previous = reinterpret_cast<WNDPROC>(::GetPropW(wnd, kSuperProperty));
    m_pfnSuper = previous;
    ::SetPropW(wnd, kSuperProperty, reinterpret_cast<HANDLE>(previous));
    return true;
}

void CWnd::Unbind()
{
    HWND wnd = m_hWnd;
    if (!wnd)
        return;
    const auto current = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(wnd, GWLP_WNDPROC));
    if (current == &StaticWindowProc) {
        ::SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
        ::RemovePropW(wnd, kSuperProperty);
    }
    ::RemovePropW(wnd, kObjectProperty);
    m_hWnd = nullptr;
    m_pfnSuper = nullptr;
    m_bCreated = false;
}

LRESULT CALLBACK CWnd::StaticWindowProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* self = FromHandlePermanent(wnd);
    if (!self) {
        auto super = reinterpret_cast<WNDPROC>(::GetPropW(wnd, kSuperProperty));
        return super ? ::CallWindowProcW(super, wnd, message, wParam, lParam)
                     : ::DefWindowProcW(wnd, message, wParam, lParam);
    }

    const MSG outer = self->m_currentMsg;
    self->m_currentMsg = MSG{wnd, message, wParam, lParam, 0, {}};
    const LRESULT result = self->WindowProc(message, wParam, lParam);
    self->m_currentMsg = outer;

    if (message == WM_NCDESTROY && self->m_hWnd == wnd) {
        self->Unbind();
        self->PostNcDestroy();
    }
    return result;
}

LRESULT CALLBACK CWnd::CreationHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        if (CWnd* wnd = t_pendingWindow.Get()) {
            t_pendingWindow.Set(nullptr);
            wnd->Bind(reinterpret_cast<HWND>(wParam));
        }
    }
    return ::CallNextHookEx(t_creationHook.Get(), code, wParam, lParam);
}

void CWnd::HookWindowCreate(CWnd* wnd)
{
    t_pendingWindow.Set(wnd);
    if (!t_creationHook.Get())
        t_creationHook.Set(::SetWindowsHookExW(WH_CBT, &CreationHook, nullptr, ::GetCurrentThreadId()));
}

bool CWnd::UnhookWindowCreate()
{
    if (const HHOOK hook = t_creationHook.Get()) {
        ::UnhookWindowsHookEx(hook);
        t_creationHook.Set(nullptr);
    }
    const bool bound = t_pendingWindow.Get() == nullptr;
    t_pendingWindow.Set(nullptr);
    return bound;
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                    int width, int height, HWND parent, UINT_PTR idOrMenu, void* param)
{
    if (m_hWnd)
        return FALSE;
    if (!className) {
        if (!RegisterPlainClass())
            return FALSE;
        className = kPlainClassName;
    }
    HookWindowCreate(this);
    HWND wnd = ::CreateWindowExW(exStyle, className, windowName, style, x, y, width, height, parent,
                                 reinterpret_cast<HMENU>(idOrMenu), ::GetModuleHandleW(nullptr), param);
    const bool bound = UnhookWindowCreate();
    if (!wnd) {
        // A window that failed during WM_NCCREATE/WM_CREATE has already been
        // destroyed and unbound by its WM_NCDESTROY.
        return FALSE;
    }
    if (!bound || m_hWnd != wnd) {
        ::DestroyWindow(wnd);
        return FALSE;
    }
    m_bCreated = true;
    return TRUE;
}

BOOL CWnd::SubclassWindow(HWND wnd)
{
    return Bind(wnd) ? TRUE : FALSE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent)
{
    if (!parent || !parent->m_hWnd)
        return FALSE;
    HWND control = ::GetDlgItem(parent->m_hWnd, static_cast<int>(id));
    return control ? SubclassWindow(control) : FALSE;
}

HWND CWnd::UnsubclassWindow()
{
    HWND wnd = m_hWnd;
    Unbind();
    return wnd;
}

BOOL CWnd::DestroyWindow()
{
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item && item->CtlType != ODT_MENU) {
            LRESULT result = 0;
            CWnd* child = FromHandlePermanent(item->hwndItem);
            if (child && child->OnChildNotify(message, wParam, lParam, &result))
                return result;
        }
        break;
    }
    default:
        break;
    }
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper)
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*)
{
    return FALSE;
}

LRESULT CWnd::Default()
{
    return DefWindowProc(m_currentMsg.message, m_currentMsg.wParam, m_currentMsg.lParam);
}

BOOL CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint)
{
    return ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}

BOOL CWnd::MoveWindow(const RECT& rect, BOOL repaint)
{
    return MoveWindow(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, repaint);
}

BOOL CWnd::SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    return ::SetWindowPos(m_hWnd, insertAfter, x, y, cx, cy, flags);
}

BOOL CWnd::ShowWindow(int cmdShow)
{
    return ::ShowWindow(m_hWnd, cmdShow);
}

BOOL CWnd::EnableWindow(BOOL enable)
{
    return ::EnableWindow(m_hWnd, enable);
}

BOOL CWnd::IsWindowEnabled() const
{
    return ::IsWindowEnabled(m_hWnd);
}

BOOL CWnd::IsWindowVisible() const
{
    return ::IsWindowVisible(m_hWnd);
}

void CWnd::SetWindowText(const std::wstring& text)
{
    ::SetWindowTextW(m_hWnd, text.c_str());
}

std::wstring CWnd::GetWindowText() const
{
    return GetWindowText(m_hWnd);
}

std::wstring CWnd::GetWindowText(HWND wnd)
{
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(wnd)) + 1, L'\0');
    const int copied = ::GetWindowTextW(wnd, text.data(), static_cast<int>(text.size()));
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

int CWnd::GetWindowTextLength() const
{
    return ::GetWindowTextLengthW(m_hWnd);
}

HWND CWnd::GetDlgItem(int id) const
{
    return ::GetDlgItem(m_hWnd, id);
}

int CWnd::GetDlgCtrlID() const
{
    return ::GetDlgCtrlID(m_hWnd);
}

HWND CWnd::GetParent() const
{
    return ::GetParent(m_hWnd);
}

void CWnd::Invalidate(BOOL erase)
{
    ::InvalidateRect(m_hWnd, nullptr, erase);
}

void CWnd::InvalidateRect(const RECT* rect, BOOL erase)
{
    ::InvalidateRect(m_hWnd, rect, erase);
}

BOOL CWnd::UpdateWindow()
{
    return ::UpdateWindow(m_hWnd);
}

BOOL CWnd::RedrawWindow(const RECT* rect, HRGN region, UINT flags)
{
    return ::RedrawWindow(m_hWnd, rect, region, flags);
}

void CWnd::GetClientRect(RECT* rect) const
{
    ::GetClientRect(m_hWnd, rect);
}

void CWnd::GetWindowRect(RECT* rect) const
{
    ::GetWindowRect(m_hWnd, rect);
}

void CWnd::ScreenToClient(RECT* rect) const
{
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(rect), 2);
}

void CWnd::ScreenToClient(POINT* point) const
{
    ::ScreenToClient(m_hWnd, point);
}

void CWnd::ClientToScreen(POINT* point) const
{
    ::ClientToScreen(m_hWnd, point);
}

DWORD CWnd::GetStyle() const
{
    return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE));
}

DWORD CWnd::GetExStyle() const
{
    return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_EXSTYLE));
}

namespace {

BOOL ModifyLong(HWND wnd, int index, DWORD remove, DWORD add, UINT flags)
{
    const DWORD style = static_cast<DWORD>(::GetWindowLongW(wnd, index));
    const DWORD changed = (style & ~remove) | add;
    if (changed == style)
        return FALSE;
    ::SetWindowLongW(wnd, index, static_cast<LONG>(changed));
    if (flags)
        ::SetWindowPos(wnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
    return TRUE;
}

}  // namespace

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags)
{
    return ModifyLong(m_hWnd, GWL_STYLE, remove, add, flags);
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT flags)
{
    return ModifyLong(m_hWnd, GWL_EXSTYLE, remove, add, flags);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::PostMessageW(m_hWnd, message, wParam, lParam);
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc)
{
    return ::SetTimer(m_hWnd, id, elapse, proc);
}

BOOL CWnd::KillTimer(UINT_PTR id)
{
    return ::KillTimer(m_hWnd, id);
}

HWND CWnd::SetFocus()
{
    return ::SetFocus(m_hWnd);
}

HFONT CWnd::GetFont() const
{
    return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
}

void CWnd::SetFont(HFONT font, BOOL redraw)
{
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), MAKELPARAM(redraw, 0));
}

HICON CWnd::SetIcon(HICON icon, BOOL big)
{
    return reinterpret_cast<HICON>(SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
}
