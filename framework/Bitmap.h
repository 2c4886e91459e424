// CBitmap: an owned GDI bitmap. The handle is one word read and written
// whole, so another thread may test and use it while its owner replaces it
// (the picture panel's fade thread reads its background snapshot this way).
#pragma once

#include <windows.h>

#include <atomic>

class CBitmap {
public:
    CBitmap() noexcept = default;
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;
    ~CBitmap() { DeleteObject(); }

    HBITMAP GetSafeHandle() const noexcept { return m_hObject.load(); }
    operator HBITMAP() const noexcept { return m_hObject.load(); }

    BOOL Attach(HBITMAP bitmap) noexcept
    {
        if (!bitmap || m_hObject.load())
            return FALSE;
        m_hObject.store(bitmap);
        return TRUE;
    }
    HBITMAP Detach() noexcept { return m_hObject.exchange(nullptr); }
    BOOL DeleteObject() noexcept
    {
        HBITMAP bitmap = Detach();
        return bitmap ? ::DeleteObject(bitmap) : FALSE;
    }
    BOOL CreateCompatibleBitmap(HDC dc, int width, int height) noexcept
    {
        return Attach(::CreateCompatibleBitmap(dc, width, height));
    }

private:
    std::atomic<HBITMAP> m_hObject{nullptr};
};
