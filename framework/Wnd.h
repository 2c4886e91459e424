// CWnd: a window handle and the C++ object bound to it.
//
// One window procedure (StaticWindowProc) serves every bound window. An
// object is bound either by subclassing an existing window (SubclassWindow,
// SubclassDlgItem: PreSubclassWindow runs first, then the window procedure is
// replaced through GWLP_WNDPROC) or by creating one (CreateEx: a thread-local
// WH_CBT hook binds the object before the window sees WM_NCCREATE). Messages
// reach the virtual WindowProc, whose switch calls the handlers; whatever it
// does not handle goes to the virtual DefWindowProc, which calls the window's
// previous procedure. Default() passes on the message being handled.
//
// Teardown order, for every bound window:
//   1. WM_NCDESTROY reaches WindowProc like any other message and goes on to
//      the previous procedure (the system control cleans up first).
//   2. The window procedure is restored (when nobody subclassed after us),
//      the binding properties are removed and m_hWnd becomes NULL.
//   3. PostNcDestroy() runs last; the object may delete itself there.
// An object destroyed while its window lives unbinds first and destroys the
// window only if CreateEx made it; a subclassed window is handed back intact.
//
// A parent reflects WM_DRAWITEM to the bound child named in the request
// (OnChildNotify), so owner-drawn controls paint themselves in DrawItem.
#pragma once

#include <windows.h>

#include <string>

class CWnd {
public:
    HWND m_hWnd = nullptr;

    CWnd() noexcept = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    virtual ~CWnd();

    HWND GetSafeHwnd() const noexcept { return m_hWnd; }
    operator HWND() const noexcept { return m_hWnd; }

    // The object bound to this window, or nullptr for a window of nobody's.
    static CWnd* FromHandlePermanent(HWND wnd) noexcept;

    // Creates a window and binds this object to it from its first message.
    // A null class name means a plain window class of our own (the default
    // window procedure behind WindowProc, arrow cursor, no background brush).
    BOOL CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                  int width, int height, HWND parent, UINT_PTR idOrMenu, void* param = nullptr);
    // Binds this object to an existing window: PreSubclassWindow, then our
    // window procedure in front of the window's own.
    BOOL SubclassWindow(HWND wnd);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    // Gives the window its own procedure back; returns the window.
    HWND UnsubclassWindow();
    BOOL DestroyWindow();

    // Default processing of the message being handled (see DefWindowProc).
    LRESULT Default();

    // Thin forwards.
    BOOL MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
    BOOL MoveWindow(const RECT& rect, BOOL repaint = TRUE);
    BOOL SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
    BOOL ShowWindow(int cmdShow);
    BOOL EnableWindow(BOOL enable = TRUE);
    BOOL IsWindowEnabled() const;
    BOOL IsWindowVisible() const;
    void SetWindowText(const std::wstring& text);
    std::wstring GetWindowText() const;
    // The text of any window, bound to an object or not (a dialog's control).
    static std::wstring GetWindowText(HWND wnd);
    int GetWindowTextLength() const;
    HWND GetDlgItem(int id) const;
    int GetDlgCtrlID() const;
    HWND GetParent() const;
    void Invalidate(BOOL erase = TRUE);
    void InvalidateRect(const RECT* rect, BOOL erase = TRUE);
    BOOL UpdateWindow();
    BOOL RedrawWindow(const RECT* rect = nullptr, HRGN region = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    void GetClientRect(RECT* rect) const;
    void GetWindowRect(RECT* rect) const;
    void ScreenToClient(RECT* rect) const;
    void ScreenToClient(POINT* point) const;
    void ClientToScreen(POINT* point) const;
    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    // Adds and removes style bits; flags other than 0 also run SetWindowPos
    // with them (and no move, size, z-order change or activation).
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
    BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT flags = 0);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc = nullptr);
    BOOL KillTimer(UINT_PTR id);
    HWND SetFocus();
    HFONT GetFont() const;
    void SetFont(HFONT font, BOOL redraw = TRUE);
    HICON SetIcon(HICON icon, BOOL big);

protected:
    // Runs when an object is bound to a window, before our window procedure
    // sees any message of it.
    virtual void PreSubclassWindow() {}
    // Runs after the window is gone and the object unbound; last call.
    virtual void PostNcDestroy() {}
    // Message dispatch: handle what the class handles, pass on the rest.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The window's previous procedure (the system control's, or the default).
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // A message a parent reflects back to this child (WM_DRAWITEM); true when handled.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    // For windows the system creates on our behalf (a dialog from its
    // template): binds the object to the next window created on this thread.
    // Pair every HookWindowCreate with UnhookWindowCreate, which returns
    // whether the binding took place.
    static void HookWindowCreate(CWnd* wnd);
    static bool UnhookWindowCreate();

private:
    static LRESULT CALLBACK StaticWindowProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam);
    bool Bind(HWND wnd);
    void Unbind();

    WNDPROC m_pfnSuper = nullptr;
    MSG m_currentMsg{};       // the message being handled, for Default()
    bool m_bCreated = false;  // CreateEx made the window, so the object may destroy it
};
