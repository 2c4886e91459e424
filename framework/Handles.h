// Owning RAII types for the Win32 handles the program uses. Each type knows
// its own "empty" value; Release() hands ownership to the caller.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <wincrypt.h>
#include <wininet.h>
#include <utility>

namespace qxt {

template <typename Traits>
class UniqueHandle {
public:
    using handle_type = typename Traits::type;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(handle_type h) noexcept : m_h(h) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : m_h(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    ~UniqueHandle() { Reset(); }

    handle_type Get() const noexcept { return m_h; }
    explicit operator bool() const noexcept { return m_h != Traits::empty(); }
    handle_type Release() noexcept { return std::exchange(m_h, Traits::empty()); }
    void Reset(handle_type h = Traits::empty()) noexcept
    {
        handle_type old = std::exchange(m_h, h);
        if (old != Traits::empty())
            Traits::close(old);
    }
    // For APIs that return the handle through an out parameter.
    handle_type* Put() noexcept
    {
        Reset();
        return &m_h;
    }

private:
    handle_type m_h = Traits::empty();
};

struct KernelHandleTraits {  // process, thread, event, mutex, snapshot: NULL when empty
    using type = HANDLE;
    static HANDLE empty() { return nullptr; }
    static void close(HANDLE h) { ::CloseHandle(h); }
};
struct FileHandleTraits {  // CreateFileW and friends: INVALID_HANDLE_VALUE when empty
    using type = HANDLE;
    static HANDLE empty() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { ::CloseHandle(h); }
};
struct FindHandleTraits {
    using type = HANDLE;
    static HANDLE empty() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { ::FindClose(h); }
};
struct RegKeyTraits {
    using type = HKEY;
    static HKEY empty() { return nullptr; }
    static void close(HKEY h) { ::RegCloseKey(h); }
};
struct InternetHandleTraits {
    using type = HINTERNET;
    static HINTERNET empty() { return nullptr; }
    static void close(HINTERNET h) { ::InternetCloseHandle(h); }
};
struct GdiObjectTraits {
    using type = HGDIOBJ;
    static HGDIOBJ empty() { return nullptr; }
    static void close(HGDIOBJ h) { ::DeleteObject(h); }
};
struct MemoryDcTraits {
    using type = HDC;
    static HDC empty() { return nullptr; }
    static void close(HDC h) { ::DeleteDC(h); }
};
struct LocalMemoryTraits {
    using type = HLOCAL;
    static HLOCAL empty() { return nullptr; }
    static void close(HLOCAL h) { ::LocalFree(h); }
};
struct ServiceHandleTraits {
    using type = SC_HANDLE;
    static SC_HANDLE empty() { return nullptr; }
    static void close(SC_HANDLE h) { ::CloseServiceHandle(h); }
};
struct GlobalMemoryTraits {
    using type = HGLOBAL;
    static HGLOBAL empty() { return nullptr; }
    static void close(HGLOBAL h) { ::GlobalFree(h); }
};
struct ProcessHeapMemoryTraits {  // HeapAlloc on GetProcessHeap()
    using type = void*;
    static void* empty() { return nullptr; }
    static void close(void* p) { ::HeapFree(::GetProcessHeap(), 0, p); }
};
struct CryptMsgTraits {
    using type = HCRYPTMSG;
    static HCRYPTMSG empty() { return nullptr; }
    static void close(HCRYPTMSG h) { ::CryptMsgClose(h); }
};
struct CertStoreTraits {
    using type = HCERTSTORE;
    static HCERTSTORE empty() { return nullptr; }
    static void close(HCERTSTORE h) { ::CertCloseStore(h, 0); }
};
struct SnapshotTraits {  // CreateToolhelp32Snapshot fails with INVALID_HANDLE_VALUE, not NULL
    using type = HANDLE;
    static HANDLE empty() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { ::CloseHandle(h); }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;
using UniqueHkey = UniqueHandle<RegKeyTraits>;
using UniqueHinternet = UniqueHandle<InternetHandleTraits>;
using UniqueGdiObject = UniqueHandle<GdiObjectTraits>;
using UniqueMemoryDc = UniqueHandle<MemoryDcTraits>;
using UniqueLocalMemory = UniqueHandle<LocalMemoryTraits>;
using UniqueServiceHandle = UniqueHandle<ServiceHandleTraits>;
using UniqueGlobalMemory = UniqueHandle<GlobalMemoryTraits>;
using UniqueProcessHeapMemory = UniqueHandle<ProcessHeapMemoryTraits>;
using UniqueSnapshot = UniqueHandle<SnapshotTraits>;
using UniqueCryptMsg = UniqueHandle<CryptMsgTraits>;
using UniqueCertStore = UniqueHandle<CertStoreTraits>;

// A DC of a window, given back with ReleaseDC: GetDC for the client area,
// GetWindowDC for the whole window, frame included.
template <HDC(WINAPI* Acquire)(HWND)>
class BasicWindowDc {
public:
    explicit BasicWindowDc(HWND wnd) noexcept : m_wnd(wnd), m_dc(Acquire(wnd)) {}
    BasicWindowDc(const BasicWindowDc&) = delete;
    BasicWindowDc& operator=(const BasicWindowDc&) = delete;
    ~BasicWindowDc()
    {
        if (m_dc)
            ::ReleaseDC(m_wnd, m_dc);
    }
    HDC Get() const noexcept { return m_dc; }
    explicit operator bool() const noexcept { return m_dc != nullptr; }

private:
    HWND m_wnd;
    HDC m_dc;
};
using WindowDc = BasicWindowDc<::GetDC>;
using WholeWindowDc = BasicWindowDc<::GetWindowDC>;

// COM initialised on this thread for the guard's lifetime. A thread already
// in another apartment keeps it (RPC_E_CHANGED_MODE) and is not
// uninitialised by the guard.
class ComInitialization {
public:
    explicit ComInitialization(DWORD model = COINIT_APARTMENTTHREADED) noexcept
        : m_result(::CoInitializeEx(nullptr, model)) {}
    ComInitialization(const ComInitialization&) = delete;
    ComInitialization& operator=(const ComInitialization&) = delete;
    ~ComInitialization()
    {
        if (SUCCEEDED(m_result))
            ::CoUninitialize();
    }
    HRESULT Result() const noexcept { return m_result; }

private:
    HRESULT m_result;
};

// A font that is either borrowed (its owner keeps it alive) or owned and
// deleted with this object. Empty: no font of its own.
class FontHandle {
public:
    void Borrow(HFONT font) noexcept
    {
        m_owned.Reset();
        m_font = font;
    }
    void Own(HFONT font) noexcept
    {
        m_owned.Reset(font);
        m_font = font;
    }
    HFONT Get() const noexcept { return m_font; }
    explicit operator bool() const noexcept { return m_font != nullptr; }

private:
    HFONT m_font = nullptr;
    UniqueHandle<GdiObjectTraits> m_owned;
};

// BeginPaint/EndPaint as one object.
class PaintDc {
public:
    explicit PaintDc(HWND wnd) noexcept : m_wnd(wnd) { m_dc = ::BeginPaint(wnd, &m_ps); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    ~PaintDc() { ::EndPaint(m_wnd, &m_ps); }
    HDC Get() const noexcept { return m_dc; }
    const PAINTSTRUCT& Info() const noexcept { return m_ps; }

private:
    HWND m_wnd;
    PAINTSTRUCT m_ps{};
    HDC m_dc = nullptr;
};

// Selects an object into a DC and puts the previous one back.
class SelectObjectGuard {
public:
    SelectObjectGuard(HDC dc, HGDIOBJ obj) noexcept : m_dc(dc), m_old(::SelectObject(dc, obj)) {}
    SelectObjectGuard(const SelectObjectGuard&) = delete;
    SelectObjectGuard& operator=(const SelectObjectGuard&) = delete;
    ~SelectObjectGuard()
    {
        if (m_old && m_old != HGDI_ERROR)
            ::SelectObject(m_dc, m_old);
    }

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

// A COM interface pointer that releases its reference.
template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() { Reset(); }
    T* Get() const noexcept { return m_p; }
    T* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }
    T** Put() noexcept
    {
        Reset();
        return &m_p;
    }
    void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }
    void Reset() noexcept
    {
        if (m_p) {
            m_p->Release();
            m_p = nullptr;
        }
    }

private:
    T* m_p = nullptr;
};

}  // namespace qxt
