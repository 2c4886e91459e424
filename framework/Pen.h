// CPen: an owned GDI pen.
#pragma once

#include <windows.h>

#include <utility>

class CPen {
public:
    CPen() noexcept = default;
    CPen(int style, int width, COLORREF color) noexcept : m_hObject(::CreatePen(style, width, color)) {}
    CPen(const CPen&) = delete;
    CPen& operator=(const CPen&) = delete;
    ~CPen() { DeleteObject(); }

    HPEN GetSafeHandle() const noexcept { return m_hObject; }
    operator HPEN() const noexcept { return m_hObject; }

    BOOL CreatePen(int style, int width, COLORREF color) noexcept
    {
        if (m_hObject)
            return FALSE;
        m_hObject = ::CreatePen(style, width, color);
        return m_hObject != nullptr;
    }
    BOOL DeleteObject() noexcept
    {
        HPEN pen = std::exchange(m_hObject, nullptr);
        return pen ? ::DeleteObject(pen) : FALSE;
    }

private:
    HPEN m_hObject = nullptr;
};
