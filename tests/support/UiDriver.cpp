#include "tests/support/UiDriver.h"

#include "framework/Handles.h"

#include <objidl.h>  // WIN32_LEAN_AND_MEAN leaves out what GDI+ needs
#include <gdiplus.h>

#include <climits>
#include <cstdlib>
#include <memory>

namespace qxt::test {

ProgramRun::~ProgramRun()
{
    Kill();
}

bool ProgramRun::Start(const std::wstring& program, const std::wstring& arguments)
{
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &info))
        return false;
    ::CloseHandle(info.hThread);
    m_process = info.hProcess;
    m_pid = info.dwProcessId;
    return true;
}

bool ProgramRun::WaitForExit(DWORD timeoutMs, DWORD* code)
{
    if (!m_process || ::WaitForSingleObject(m_process, timeoutMs) != WAIT_OBJECT_0)
        return false;
    if (code)
        ::GetExitCodeProcess(m_process, code);
    return true;
}

void ProgramRun::Kill()
{
    if (!m_process)
        return;
    if (::WaitForSingleObject(m_process, 0) != WAIT_OBJECT_0) {
        ::TerminateProcess(m_process, 1);
        ::WaitForSingleObject(m_process, 5000);
    }
    ::CloseHandle(m_process);
    m_process = nullptr;
}

namespace {

struct TopWindowSearch {
    DWORD pid;
    const wchar_t* className;
    const wchar_t* caption;
    HWND found;
};

BOOL CALLBACK MatchTopWindow(HWND wnd, LPARAM param)
{
    auto* search = reinterpret_cast<TopWindowSearch*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(wnd, &pid);
    if (pid != search->pid || !::IsWindowVisible(wnd))
        return TRUE;
    if (search->className) {
        wchar_t cls[128] = {};
        ::GetClassNameW(wnd, cls, 128);
        if (::lstrcmpW(cls, search->className) != 0)
            return TRUE;
    }
    if (search->caption && WindowText(wnd) != search->caption)
        return TRUE;
    search->found = wnd;
    return FALSE;
}

HWND FindTopWindow(DWORD pid, const wchar_t* className, const wchar_t* caption)
{
    TopWindowSearch search{pid, className, caption, nullptr};
    ::EnumWindows(MatchTopWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

constexpr int kMessageBoxTextId = 0xFFFF;

// How far an icon control of another process is from showing that system
// icon. Icon handles do not compare across processes, so the pixels do: the
// icon drawn again over the control's own pixels changes fewest of them when
// it is the icon already shown there.
int IconDistance(HWND control, LPCWSTR systemIcon)
{
    RECT rect{};
    ::GetWindowRect(control, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return INT_MAX;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* shownBits = nullptr;
    void* redrawnBits = nullptr;
    WindowDc screen(nullptr);
    UniqueGdiObject shown(::CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &shownBits, nullptr, 0));
    UniqueGdiObject redrawn(::CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &redrawnBits, nullptr, 0));
    UniqueMemoryDc memory(::CreateCompatibleDC(screen.Get()));
    if (!shown || !redrawn || !memory)
        return INT_MAX;
    {
        SelectObjectGuard select(memory.Get(), shown.Get());
        ::BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), rect.left, rect.top, SRCCOPY);
    }
    {
        SelectObjectGuard select(memory.Get(), redrawn.Get());
        ::BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), rect.left, rect.top, SRCCOPY);
        ::DrawIconEx(memory.Get(), 0, 0, ::LoadIconW(nullptr, systemIcon), 0, 0, 0, nullptr, DI_NORMAL);
    }
    ::GdiFlush();
    const auto* a = static_cast<const BYTE*>(shownBits);
    const auto* b = static_cast<const BYTE*>(redrawnBits);
    int differing = 0;
    for (int i = 0; i < width * height; ++i) {
        for (int c = 0; c < 3; ++c) {
            if (std::abs(a[i * 4 + c] - b[i * 4 + c]) > 48) {
                ++differing;
                break;
            }
        }
    }
    return differing;
}

// The system icon the control shows (IDI_HAND, IDI_QUESTION, ...), or nullptr
// while it shows none of them. An icon drawn again over itself changes only a
// few pixels of its soft edge; over another icon, or over a control whose
// picture has not reached the screen yet, it changes a large part of the
// control (each of these icons covers more than two fifths of it, and the
// soft edge less than a twentieth).
LPCWSTR ShownSystemIcon(HWND control)
{
    RECT rect{};
    ::GetWindowRect(control, &rect);
    const int area = (rect.right - rect.left) * (rect.bottom - rect.top);
    LPCWSTR nearest = nullptr;
    int best = INT_MAX;
    for (LPCWSTR icon : {IDI_HAND, IDI_QUESTION, IDI_EXCLAMATION, IDI_ASTERISK}) {
        const int distance = IconDistance(control, icon);
        if (distance < best) {
            best = distance;
            nearest = icon;
        }
    }
    return area > 0 && best <= area / 8 ? nearest : nullptr;
}
// How long a message box's icon may take to reach the screen after the box
// shows: the box paints it and the display takes the picture later, both
// slower on a loaded machine.
constexpr DWORD kIconShownTimeoutMs = 10000;
constexpr int kMessageBoxIconId = 0x14;
constexpr int kWineMessageBoxIconId = 0x440;  // Wine's message box numbers its icon control stc1

}  // namespace

HWND WaitForTopWindow(DWORD pid, const wchar_t* className, const wchar_t* caption, DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindTopWindow(pid, className, caption)) != nullptr; }, timeoutMs);
    return found;
}

bool NoTopWindow(DWORD pid, const wchar_t* className, const wchar_t* caption)
{
    return FindTopWindow(pid, className, caption) == nullptr;
}

std::wstring WindowText(HWND wnd)
{
    // WM_GETTEXT rather than GetWindowTextW: it reads other processes' controls too.
    wchar_t text[1024] = {};
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(wnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                               5000, &length))
        return {};
    return std::wstring(text, length);
}

ControlState ReadControl(HWND dialog, int id)
{
    ControlState state;
    HWND control = ::GetDlgItem(dialog, id);
    if (!control)
        return state;
    state.exists = true;
    state.visible = (::GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
    state.enabled = ::IsWindowEnabled(control) != FALSE;
    state.text = WindowText(control);
    ::GetWindowRect(control, &state.rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&state.rect), 2);
    return state;
}

void Click(HWND dialog, int id)
{
    ::PostMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

MessageBoxInfo WaitForMessageBox(DWORD pid, DWORD timeoutMs)
{
    MessageBoxInfo box;
    WaitUntil(
        [&] {
            HWND wnd = FindTopWindow(pid, L"#32770", nullptr);
            return wnd && ::GetDlgItem(wnd, kMessageBoxTextId) && (box.wnd = wnd) != nullptr;
        },
        timeoutMs);
    if (!box.wnd)
        return box;
    box.caption = WindowText(box.wnd);
    box.text = WindowText(::GetDlgItem(box.wnd, kMessageBoxTextId));
    for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
        HWND button = ::GetDlgItem(box.wnd, id);
        if (button && ::IsWindowVisible(button))
            box.buttons.push_back(id);
    }
    HWND icon = ::GetDlgItem(box.wnd, kMessageBoxIconId);
    if (!icon)
        icon = ::GetDlgItem(box.wnd, kWineMessageBoxIconId);
    // A box without an icon has hidden its icon control before it shows.
    if (icon && ::IsWindowVisible(icon)) {
        ::RedrawWindow(box.wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        LPCWSTR shown = nullptr;
        WaitUntil(
            [&] {
                shown = ShownSystemIcon(icon);
                return shown != nullptr || !::IsWindow(box.wnd);
            },
            kIconShownTimeoutMs);
        box.hasErrorIcon = shown == IDI_HAND;
        box.hasQuestionIcon = shown == IDI_QUESTION;
    }
    return box;
}

void AnswerMessageBox(const MessageBoxInfo& box, int buttonId)
{
    ::PostMessageW(box.wnd, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(box.wnd, buttonId)));
}

ScreenPixels CaptureScreenPixels(HWND wnd)
{
    ScreenPixels capture;
    RECT rect{};
    if (!::GetWindowRect(wnd, &rect) || rect.right <= rect.left || rect.bottom <= rect.top)
        return capture;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    WindowDc screen(nullptr);
    UniqueGdiObject bitmap(::CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    UniqueMemoryDc memory(::CreateCompatibleDC(screen.Get()));
    if (!bitmap || !memory)
        return capture;
    {
        SelectObjectGuard select(memory.Get(), bitmap.Get());
        ::BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), rect.left, rect.top, SRCCOPY);
    }
    ::GdiFlush();
    const auto* first = static_cast<const DWORD*>(bits);
    capture.width = width;
    capture.height = height;
    capture.pixels.reserve(static_cast<size_t>(width) * height);
    for (int i = 0; i < width * height; ++i)
        capture.pixels.push_back(first[i] & 0x00FFFFFF);
    return capture;
}

double DifferingShare(const ScreenPixels& a, const ScreenPixels& b)
{
    if (a.pixels.empty() || a.width != b.width || a.height != b.height)
        return 1.0;
    size_t differing = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        for (int shift : {0, 8, 16}) {
            const int x = static_cast<int>((a.pixels[i] >> shift) & 0xFF);
            const int y = static_cast<int>((b.pixels[i] >> shift) & 0xFF);
            if (std::abs(x - y) > 32) {
                ++differing;
                break;
            }
        }
    }
    return static_cast<double>(differing) / static_cast<double>(a.pixels.size());
}

namespace {

bool PngEncoder(CLSID* clsid)
{
    UINT count = 0, size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0)
        return false;
    auto buffer = std::make_unique<BYTE[]>(size);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.get());
    if (Gdiplus::GetImageEncoders(count, size, encoders) != Gdiplus::Ok)
        return false;
    for (UINT i = 0; i < count; ++i) {
        if (::lstrcmpW(encoders[i].MimeType, L"image/png") == 0) {
            *clsid = encoders[i].Clsid;
            return true;
        }
    }
    return false;
}

}  // namespace

bool SaveWindowScreenshot(HWND wnd, const std::wstring& pngPath)
{
    RECT rect{};
    if (!::GetWindowRect(wnd, &rect))
        return false;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;

    WindowDc screen(nullptr);
    UniqueMemoryDc memory(::CreateCompatibleDC(screen.Get()));
    UniqueGdiObject bitmap(::CreateCompatibleBitmap(screen.Get(), width, height));
    if (!memory || !bitmap)
        return false;
    {
        SelectObjectGuard select(memory.Get(), bitmap.Get());
        ::BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), rect.left, rect.top, SRCCOPY);
    }

    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
        return false;
    bool saved = false;
    {
        CLSID png{};
        Gdiplus::Bitmap image(static_cast<HBITMAP>(bitmap.Get()), nullptr);
        saved = PngEncoder(&png) && image.Save(pngPath.c_str(), &png, nullptr) == Gdiplus::Ok;
    }
    Gdiplus::GdiplusShutdown(token);
    return saved;
}

}  // namespace qxt::test
