// CWnd on real windows: binding by subclassing and by creation, forwarding
// to the window's own procedure, the teardown order, and the reflection of
// WM_DRAWITEM from a parent to its owner-drawn child.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "framework/Button.h"
#include "framework/Wnd.h"

namespace {

// Records what reaches WindowProc and the hooks, in order.
struct Event {
    std::string what;
    UINT message = 0;
    bool bound = false;  // m_hWnd was set when it happened
    bool operator==(const Event&) const = default;
};

class RecordingWnd : public CWnd {
public:
    std::vector<Event> events;
    std::vector<UINT> watched;  // messages worth recording
    bool postNcDestroyRan = false;
    HWND handleAtPostNcDestroy = reinterpret_cast<HWND>(1);
    WNDPROC procAtPostNcDestroy = nullptr;
    HWND lastWindow = nullptr;

    using CWnd::Default;

protected:
    void PreSubclassWindow() override
    {
        events.push_back({"PreSubclassWindow", 0, m_hWnd != nullptr});
        lastWindow = m_hWnd;
    }
    void PostNcDestroy() override
    {
        postNcDestroyRan = true;
        handleAtPostNcDestroy = m_hWnd;
        if (::IsWindow(lastWindow))
            procAtPostNcDestroy = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(lastWindow, GWLP_WNDPROC));
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        for (UINT m : watched)
            if (m == message)
                events.push_back({"WindowProc", message, m_hWnd != nullptr});
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

// A procedure that counts what reaches the window's own procedure.
int g_originalCalls = 0;
WNDPROC g_buttonProc = nullptr;
LRESULT CALLBACK CountingProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    ++g_originalCalls;
    return ::CallWindowProcW(g_buttonProc, wnd, message, wParam, lParam);
}

HWND CreateButton(DWORD style = BS_AUTOCHECKBOX, HWND parent = nullptr)
{
    return ::CreateWindowExW(0, L"BUTTON", L"caption", (parent ? WS_CHILD : WS_POPUP) | style, 0, 0, 80, 20, parent,
                             parent ? reinterpret_cast<HMENU>(42) : nullptr, nullptr, nullptr);
}

TEST(WndSubclass, PreSubclassRunsBoundAndBeforeAnyMessage)
{
    HWND button = CreateButton();
    ASSERT_TRUE(button);
    RecordingWnd wnd;
    wnd.watched = {WM_SETTEXT, WM_GETTEXT};
    ASSERT_TRUE(wnd.SubclassWindow(button));
    EXPECT_EQ(CWnd::FromHandlePermanent(button), &wnd);

    wnd.SetWindowText(L"changed");
    EXPECT_EQ(wnd.GetWindowText(), L"changed");  // reached the button's own procedure

    const std::vector<Event> expected = {
        {"PreSubclassWindow", 0, true},
        {"WindowProc", WM_SETTEXT, true},
        {"WindowProc", WM_GETTEXT, true},
    };
    EXPECT_EQ(wnd.events, expected);
    ::DestroyWindow(button);
}

TEST(WndSubclass, DefaultForwardsToTheWindowsOwnProcedure)
{
    HWND button = CreateButton();
    g_buttonProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingProc)));
    CButton wnd;
    ASSERT_TRUE(wnd.SubclassWindow(button));

    g_originalCalls = 0;
    wnd.SetCheck(BST_CHECKED);
    EXPECT_EQ(wnd.GetCheck(), BST_CHECKED);  // state kept by the system control
    EXPECT_EQ(g_originalCalls, 2);
    ::DestroyWindow(button);
}

TEST(WndSubclass, UnsubclassGivesTheProcedureBack)
{
    HWND button = CreateButton();
    const auto original = ::GetWindowLongPtrW(button, GWLP_WNDPROC);
    {
        CButton wnd;
        ASSERT_TRUE(wnd.SubclassWindow(button));
        EXPECT_NE(::GetWindowLongPtrW(button, GWLP_WNDPROC), original);
        EXPECT_EQ(wnd.UnsubclassWindow(), button);
        EXPECT_EQ(wnd.m_hWnd, nullptr);
    }
    EXPECT_EQ(::GetWindowLongPtrW(button, GWLP_WNDPROC), original);
    EXPECT_EQ(CWnd::FromHandlePermanent(button), nullptr);
    ::DestroyWindow(button);
}

TEST(WndSubclass, AWindowTakesOneObjectOnly)
{
    HWND button = CreateButton();
    CButton first;
    CButton second;
    ASSERT_TRUE(first.SubclassWindow(button));
    EXPECT_FALSE(second.SubclassWindow(button));
    EXPECT_EQ(second.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(button), &first);
    ::DestroyWindow(button);
}

TEST(WndTeardown, NcDestroyPassesOnThenUnbindsThenPostNcDestroy)
{
    HWND button = CreateButton();
    const auto original = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(button, GWLP_WNDPROC));
    RecordingWnd wnd;
    wnd.watched = {WM_DESTROY, WM_NCDESTROY};
    ASSERT_TRUE(wnd.SubclassWindow(button));
    ::DestroyWindow(button);

    const std::vector<Event> expected = {
        {"PreSubclassWindow", 0, true},
        {"WindowProc", WM_DESTROY, true},
        {"WindowProc", WM_NCDESTROY, true},
    };
    EXPECT_EQ(wnd.events, expected);
    EXPECT_TRUE(wnd.postNcDestroyRan);
    EXPECT_EQ(wnd.handleAtPostNcDestroy, nullptr);
    // While WM_NCDESTROY is handled the window still exists: the procedure is already the button's again.
    EXPECT_EQ(wnd.procAtPostNcDestroy, original);
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(button), nullptr);
}

TEST(WndTeardown, ObjectGoingFirstLeavesASubclassedWindowWorking)
{
    HWND button = CreateButton();
    {
        CButton wnd;
        ASSERT_TRUE(wnd.SubclassWindow(button));
    }
    ASSERT_TRUE(::IsWindow(button));
    ::SendMessageW(button, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(::SendMessageW(button, BM_GETCHECK, 0, 0), BST_CHECKED);
    ::DestroyWindow(button);
}

TEST(WndTeardown, ObjectGoingFirstDestroysTheWindowItCreated)
{
    HWND created = nullptr;
    {
        CWnd wnd;
        ASSERT_TRUE(wnd.CreateEx(0, nullptr, L"plain", WS_POPUP, 0, 0, 50, 50, nullptr, 0));
        created = wnd.m_hWnd;
        ASSERT_TRUE(::IsWindow(created));
    }
    EXPECT_FALSE(::IsWindow(created));
}

// Someone else subclasses after us; when our object goes, our procedure
// stays in the chain and must still pass every message on.
LRESULT CALLBACK OuterProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto next = reinterpret_cast<WNDPROC>(::GetPropW(wnd, L"test.next"));
    return ::CallWindowProcW(next, wnd, message, wParam, lParam);
}

TEST(WndTeardown, UnbindingUnderAnotherSubclasserKeepsTheChain)
{
    HWND button = CreateButton();
    {
        CButton wnd;
        ASSERT_TRUE(wnd.SubclassWindow(button));
        auto ours = ::SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&OuterProc));
        ::SetPropW(button, L"test.next", reinterpret_cast<HANDLE>(ours));
    }
    ::SendMessageW(button, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(::SendMessageW(button, BM_GETCHECK, 0, 0), BST_CHECKED);
    ::SetWindowTextW(button, L"still answering");
    wchar_t text[32]{};
    ::GetWindowTextW(button, text, 32);
    EXPECT_STREQ(text, L"still answering");
    ::RemovePropW(button, L"test.next");
    ::DestroyWindow(button);
}

TEST(WndCreate, BoundBeforeTheFirstCreationMessage)
{
    RecordingWnd wnd;
    wnd.watched = {WM_NCCREATE, WM_CREATE};
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, L"plain", WS_POPUP, 10, 10, 60, 40, nullptr, 0));
    const std::vector<Event> expected = {
        {"PreSubclassWindow", 0, true},
        {"WindowProc", WM_NCCREATE, true},
        {"WindowProc", WM_CREATE, true},
    };
    EXPECT_EQ(wnd.events, expected);
    EXPECT_EQ(CWnd::FromHandlePermanent(wnd.m_hWnd), &wnd);
    EXPECT_TRUE(wnd.DestroyWindow());
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_TRUE(wnd.postNcDestroyRan);
}

TEST(WndCreate, ASystemClassIsBoundToo)
{
    RecordingWnd wnd;
    wnd.watched = {WM_NCCREATE};
    ASSERT_TRUE(wnd.CreateEx(0, L"BUTTON", L"system", WS_POPUP | BS_AUTOCHECKBOX, 0, 0, 60, 20, nullptr, 0));
    ASSERT_EQ(wnd.events.size(), 2u);
    EXPECT_EQ(wnd.events[1].message, static_cast<UINT>(WM_NCCREATE));
    wnd.SendMessage(BM_SETCHECK, BST_CHECKED);
    EXPECT_EQ(wnd.SendMessage(BM_GETCHECK), BST_CHECKED);
}

TEST(WndCreate, ANestedCreationBindsOnlyTheOuterWindow)
{
    // A window created while the outer one handles WM_CREATE is nobody's.
    struct Outer : CWnd {
        HWND inner = nullptr;
        LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
        {
            if (message == WM_CREATE)
                inner = CreateButton(BS_PUSHBUTTON, m_hWnd);
            return CWnd::WindowProc(message, wParam, lParam);
        }
    } outer;
    ASSERT_TRUE(outer.CreateEx(0, nullptr, L"outer", WS_POPUP, 0, 0, 100, 100, nullptr, 0));
    ASSERT_TRUE(outer.inner);
    EXPECT_EQ(CWnd::FromHandlePermanent(outer.m_hWnd), &outer);
    EXPECT_EQ(CWnd::FromHandlePermanent(outer.inner), nullptr);
}

// A parent hands WM_DRAWITEM back to its bound owner-drawn child.
class DrawnButton : public CButton {
public:
    int draws = 0;
    UINT lastAction = 0;
    void DrawItem(DRAWITEMSTRUCT* item) override
    {
        ++draws;
        lastAction = item->itemAction;
        ::FillRect(item->hDC, &item->rcItem, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    }
};

TEST(WndReflection, DrawItemReachesTheChild)
{
    CWnd parent;
    ASSERT_TRUE(parent.CreateEx(WS_EX_TOOLWINDOW, nullptr, L"parent", WS_POPUP | WS_VISIBLE, 0, 0, 120, 60,
                                nullptr, 0));
    DrawnButton button;
    HWND child = CreateButton(BS_OWNERDRAW | WS_VISIBLE, parent.m_hWnd);
    ASSERT_TRUE(button.SubclassDlgItem(42, &parent));
    EXPECT_EQ(button.m_hWnd, child);
    button.Invalidate(TRUE);
    button.UpdateWindow();
    EXPECT_GE(button.draws, 1);
    EXPECT_EQ(button.lastAction, static_cast<UINT>(ODA_DRAWENTIRE));
    EXPECT_FALSE(button.SubclassDlgItem(43, &parent));  // no such control
}

}  // namespace
