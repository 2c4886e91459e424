#include "controls/BackgroundSnapshot.h"

#include "framework/Handles.h"

bool TakeBackgroundSnapshot(HWND control, CBitmap& snapshot, HDC compatibleDc)
{
    if (snapshot.GetSafeHandle())
        return true;
    HWND parent = ::GetParent(control);
    if (!parent)
        return false;

    RECT rect{};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;

    qxt::WindowDc parentDc(parent);
    if (!parentDc)
        return false;
    qxt::UniqueMemoryDc memory(::CreateCompatibleDC(parentDc.Get()));
    if (!memory)
        return false;
    HBITMAP bitmap = ::CreateCompatibleBitmap(compatibleDc ? compatibleDc : parentDc.Get(), width, height);
    if (!bitmap)
        return false;
    {
        qxt::SelectObjectGuard select(memory.Get(), bitmap);
        ::BitBlt(memory.Get(), 0, 0, width, height, parentDc.Get(), rect.left, rect.top, SRCCOPY);
    }
    // Published only when complete: the panel's fade thread tests it.
    snapshot.Attach(bitmap);
    return true;
}

void DrawBackgroundSnapshot(HWND control, const CBitmap& snapshot, HDC dc)
{
    HBITMAP bitmap = snapshot.GetSafeHandle();
    if (!bitmap)
        return;
    RECT client{};
    ::GetClientRect(control, &client);
    qxt::UniqueMemoryDc memory(::CreateCompatibleDC(dc));
    if (!memory)
        return;
    qxt::SelectObjectGuard select(memory.Get(), bitmap);
    ::BitBlt(dc, 0, 0, client.right, client.bottom, memory.Get(), 0, 0, SRCCOPY);
}
