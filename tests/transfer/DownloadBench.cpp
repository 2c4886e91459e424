// Benchmark helper for scripts/bench: DownloadFile of one URL to one file,
// with the progress messages going to a window on another thread as they go
// to the setup dialog. Prints the time, the result and the process's peak
// resident memory. For comparison, "nowindow" sends the progress nowhere and
// "bare" only reads the body in 32 KiB chunks through WinInet, storing nothing,
// and "messages" only sends the window one progress message per 32 KiB of the
// file's size, downloading nothing.
//   download_bench.exe URL DESTINATION [nowindow | bare | messages SIZE]
#include "transfer/DownloadFile.h"

#include "core/SetupMessages.h"
#include "framework/HttpConnection.h"
#include "framework/HttpFile.h"
#include "framework/InternetSession.h"
#include "framework/ParseUrl.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

HANDLE g_ready = nullptr;
HWND g_window = nullptr;
volatile LONG g_progress = 0;

LRESULT CALLBACK WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_DOWNLOAD_PROGRESS) {
        ::InterlockedIncrement(&g_progress);
        return 0;
    }
    return ::DefWindowProcW(wnd, msg, wParam, lParam);
}

DWORD WINAPI WindowThread(void*)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QxtDownloadBench";
    ::RegisterClassW(&wc);
    g_window = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 wc.hInstance, nullptr);
    ::SetEvent(g_ready);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
        ::DispatchMessageW(&msg);
    return 0;
}

// The peak resident set of this process so far, in KiB. Wine fills it from
// VmHWM of the process's /proc status.
long PeakResidentKiB()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters))
        return -1;
    return static_cast<long>(counters.PeakWorkingSetSize / 1024);
}

// The platform's own pace: one GET, 32 KiB reads, nothing stored or reported.
DWORD BareRead(const wchar_t* url)
{
    CInternetSession session;
    DWORD service = 0;
    std::wstring server, object;
    INTERNET_PORT port = 0;
    if (!AfxParseURL(url, service, server, object, port))
        return 0;
    auto connection = session.GetHttpConnection(server.c_str(), port);
    if (!connection)
        return 0;
    auto request = connection->OpenRequest(CHttpConnection::HTTP_VERB_GET, object.c_str(), nullptr, 1, nullptr,
                                           nullptr, INTERNET_FLAG_RELOAD | INTERNET_FLAG_DONT_CACHE);
    if (!request || !request->SendRequest())
        return 0;
    static BYTE buffer[32768];
    DWORD total = 0;
    UINT read = 0;
    while (request->Read(buffer, sizeof buffer, read) && read != 0)
        total += read;
    return total;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring mode = argc >= 4 ? argv[3] : L"";
    if (argc < 3 || argc > 5 || (argc >= 4 && mode != L"nowindow" && mode != L"bare" && mode != L"messages") ||
        ((mode == L"messages") != (argc == 5))) {
        std::fprintf(stderr, "usage: download_bench.exe URL DESTINATION [nowindow | bare | messages SIZE]\n");
        return 2;
    }
    g_ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD threadId = 0;
    HANDLE thread = ::CreateThread(nullptr, 0, WindowThread, nullptr, 0, &threadId);
    ::WaitForSingleObject(g_ready, 10000);

    const long before = PeakResidentKiB();
    volatile LONG cancel = 0;
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    DWORD bytes = 0;
    if (mode == L"bare") {
        bytes = BareRead(argv[1]);
    } else if (mode == L"messages") {
        const DWORD size = std::wcstoul(argv[4], nullptr, 10);
        for (DWORD sent = 0; sent < size; sent += 32768)
            ::SendMessageW(g_window, WM_DOWNLOAD_PROGRESS, sent, size);
        ::SendMessageW(g_window, WM_DOWNLOAD_PROGRESS, size, size);
        bytes = size;
    } else {
        bytes = DownloadFile(argv[2], argv[1], mode.empty() ? g_window : nullptr, &cancel);
    }
    ::QueryPerformanceCounter(&end);
    const double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;

    std::printf("seconds %.3f\nbytes %lu\nprogress_messages %ld\npeak_kib_before %ld\npeak_kib %ld\n", seconds,
                static_cast<unsigned long>(bytes), g_progress, before, PeakResidentKiB());
    ::PostThreadMessageW(threadId, WM_QUIT, 0, 0);
    ::WaitForSingleObject(thread, 10000);
    return bytes != 0 ? 0 : 1;
}
