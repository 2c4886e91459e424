#include "framework/WindowDpi.h"

namespace qxt {

namespace {

template <typename Function>
Function User32Function(const char* name)
{
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    // Through the generic function pointer type: a direct cast from FARPROC
    // to another function type draws -Wcast-function-type.
    return user32 ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(user32, name)))
                  : nullptr;
}

UINT SystemDpi()
{
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kDesignDpi;
}

}  // namespace

UINT DpiOfWindow(HWND window)
{
    // Looked up at run time: Windows 7 and 8 have no per-monitor DPI. On each
    // call: it is rare, and a function-local static would bring the
    // runtime's thread-safe initialisation guards (and with them its
    // exception support) into the program.
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    const auto getDpiForWindow = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
    if (window && getDpiForWindow) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi > 0)
            return dpi;
    }
    return SystemDpi();
}

void TakeOverDialogScaling(HWND dialog)
{
    using SetDialogDpiChangeBehaviorFunction = BOOL(WINAPI*)(HWND, int, int);
    const auto setBehavior = User32Function<SetDialogDpiChangeBehaviorFunction>("SetDialogDpiChangeBehavior");
    // DDC_DISABLE_ALL: neither fonts nor controls are resized by the system.
    constexpr int kDisableAll = 1;
    if (setBehavior)
        setBehavior(dialog, kDisableAll, kDisableAll);
}

HFONT ScaleFont(HFONT font, UINT fromDpi, UINT toDpi)
{
    LOGFONTW description{};
    if (!font || !::GetObjectW(font, sizeof(description), &description) || fromDpi == 0)
        return nullptr;
    description.lfHeight = ::MulDiv(description.lfHeight, static_cast<int>(toDpi), static_cast<int>(fromDpi));
    description.lfWidth = ::MulDiv(description.lfWidth, static_cast<int>(toDpi), static_cast<int>(fromDpi));
    return ::CreateFontIndirectW(&description);
}

}  // namespace qxt
