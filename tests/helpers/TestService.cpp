// testservice.exe NAME [key=value]...: a Windows service of its own process
// whose start and stop take as long as the test says. Keys (times in ms):
//   start-ms, start-hint, start-progress  how long it stays START_PENDING, the
//                                         wait hint it reports meanwhile, and
//                                         whether its check point grows (1/0)
//   start-end=running|stopped             the state after the start pending
//   exit-code                             dwWin32ExitCode while starting/stopped
//   stop-ms, stop-hint, stop-progress     the same for a stop request (at
//                                         least 100 ms; wait hint 100 unless set)
//   accept-stop=0                         refuses SERVICE_CONTROL_STOP
//   log=PATH                              appends "NAME start" and "NAME stop" lines
// The user control 200 ends it at once whatever it is doing, so that a test
// can always clean up. It gives up by itself after ten minutes.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr DWORD kEndNowControl = 200;
// Even an "immediate" stop stays pending this long (see the stop request).
constexpr DWORD kShortestStopMs = 100;

struct Settings {
    std::wstring name;
    DWORD startMs = 0, startHint = 0;
    bool startProgress = true, startEndsRunning = true;
    DWORD exitCode = 0;
    DWORD stopMs = 0, stopHint = 100;
    bool stopProgress = true, acceptStop = true;
    std::wstring log;
} g_settings;

SERVICE_STATUS_HANDLE g_handle = nullptr;
SERVICE_STATUS g_status{};
HANDLE g_stopRequested = nullptr;
HANDLE g_endNow = nullptr;

void Report(DWORD state, DWORD hint = 0, DWORD checkPoint = 0)
{
    g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_status.dwCurrentState = state;
    g_status.dwControlsAccepted = (state == SERVICE_RUNNING && g_settings.acceptStop) ? SERVICE_ACCEPT_STOP : 0;
    g_status.dwWin32ExitCode = g_settings.exitCode;
    g_status.dwServiceSpecificExitCode = 0;
    g_status.dwCheckPoint = checkPoint;
    g_status.dwWaitHint = hint;
    ::SetServiceStatus(g_handle, &g_status);
}

void Log(const char* line)
{
    if (g_settings.log.empty())
        return;
    FILE* file = _wfopen(g_settings.log.c_str(), L"ab");
    if (file) {
        std::fprintf(file, "%ls %s\n", g_settings.name.c_str(), line);
        std::fclose(file);
    }
}

// Stays in a pending state for `ms`, reporting every 100 ms; false when the
// test asked to end at once.
bool Pending(DWORD state, DWORD ms, DWORD hint, bool progress)
{
    DWORD checkPoint = 1;
    const DWORD begin = ::GetTickCount();
    Report(state, hint, checkPoint);
    while (::GetTickCount() - begin < ms) {
        if (::WaitForSingleObject(g_endNow, 100) == WAIT_OBJECT_0)
            return false;
        if (progress)
            Report(state, hint, ++checkPoint);
    }
    return true;
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*)
{
    switch (control) {
    case SERVICE_CONTROL_STOP:
        if (!g_settings.acceptStop)
            return ERROR_CALL_NOT_IMPLEMENTED;
        Log("stop");
        // Reported here already, so that ControlService sees the pending state.
        // Never STOPPED from here: the process could end before Wine's
        // dispatcher has answered the request, which then fails with a broken pipe.
        Report(SERVICE_STOP_PENDING, g_settings.stopHint, 1);
        ::SetEvent(g_stopRequested);
        return NO_ERROR;
    case kEndNowControl:
        ::SetEvent(g_endNow);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD, wchar_t**)
{
    g_handle = ::RegisterServiceCtrlHandlerExW(g_settings.name.c_str(), Handler, nullptr);
    if (!g_handle)
        return;
    Log("start");
    if (Pending(SERVICE_START_PENDING, g_settings.startMs, g_settings.startHint, g_settings.startProgress) &&
        g_settings.startEndsRunning) {
        Report(SERVICE_RUNNING);
        const HANDLE events[2] = {g_stopRequested, g_endNow};
        if (::WaitForMultipleObjects(2, events, FALSE, 10 * 60 * 1000) == WAIT_OBJECT_0)
            Pending(SERVICE_STOP_PENDING, g_settings.stopMs ? g_settings.stopMs : kShortestStopMs,
                    g_settings.stopHint, g_settings.stopProgress);
    }
    Report(SERVICE_STOPPED);
}

DWORD Number(const std::wstring& text)
{
    return static_cast<DWORD>(std::wcstoul(text.c_str(), nullptr, 10));
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return 2;
    g_settings.name = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const size_t equals = arg.find(L'=');
        if (equals == std::wstring::npos)
            return 2;
        const std::wstring key = arg.substr(0, equals);
        const std::wstring value = arg.substr(equals + 1);
        if (key == L"start-ms")
            g_settings.startMs = Number(value);
        else if (key == L"start-hint")
            g_settings.startHint = Number(value);
        else if (key == L"start-progress")
            g_settings.startProgress = Number(value) != 0;
        else if (key == L"start-end")
            g_settings.startEndsRunning = value == L"running";
        else if (key == L"exit-code")
            g_settings.exitCode = Number(value);
        else if (key == L"stop-ms")
            g_settings.stopMs = Number(value);
        else if (key == L"stop-hint")
            g_settings.stopHint = Number(value);
        else if (key == L"stop-progress")
            g_settings.stopProgress = Number(value) != 0;
        else if (key == L"accept-stop")
            g_settings.acceptStop = Number(value) != 0;
        else if (key == L"log")
            g_settings.log = value;
        else
            return 2;
    }
    g_stopRequested = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_endNow = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);

    SERVICE_TABLE_ENTRYW table[] = {{g_settings.name.data(), ServiceMain}, {nullptr, nullptr}};
    return ::StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
