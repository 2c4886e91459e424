#include "install/ServiceControl.h"

#include "framework/Handles.h"

#include <cstdarg>
#include <cstdio>

namespace {

// Total time the stop may take, and separately the dependents' stop.
constexpr DWORD kStopTimeoutMs = 30000;

// A wait hint is only a service's guess; one that reaches the time-out (or
// INFINITE) must not keep the installation asleep beyond the time-out itself.
DWORD StopPause(DWORD waitHint)
{
    return waitHint < kStopTimeoutMs ? waitHint : kStopTimeoutMs;
}

// Every outcome goes to the standard output as one line; a window program has
// none, so nobody sees it there, but a console (or a test) does. Formatted by
// msvcrt, not by the C99 printf mingw substitutes in C++ (see FormatText.h).
__attribute__((format(ms_printf, 1, 2))) void Say(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    __ms_vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
}

bool QueryStatus(SC_HANDLE service, SERVICE_STATUS_PROCESS& status)
{
    DWORD bytesNeeded = 0;
    return ::QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                                  &bytesNeeded) != FALSE;
}

bool SendStop(SC_HANDLE service, SERVICE_STATUS_PROCESS& status)
{
    // The first seven fields of SERVICE_STATUS_PROCESS are a SERVICE_STATUS.
    return ::ControlService(service, SERVICE_CONTROL_STOP, reinterpret_cast<SERVICE_STATUS*>(&status)) != FALSE;
}

DWORD Elapsed(DWORD since)
{
    return ::GetTickCount() - since;  // unsigned: the wrap of the tick counter does not matter
}

// Steps 4 to 9 of the stop, on open handles; true when the service is stopped.
bool StopOpenService(SC_HANDLE service, SC_HANDLE manager, DWORD startTime, EnumDependentServicesProc enumerate)
{
    SERVICE_STATUS_PROCESS status{};
    if (!QueryStatus(service, status)) {
        Say("QueryServiceStatusEx failed (%d)\n", static_cast<int>(::GetLastError()));
        return false;
    }

    if (status.dwCurrentState == SERVICE_STOPPED) {
        Say("Service is already stopped.\n");
        return true;
    }

    while (status.dwCurrentState == SERVICE_STOP_PENDING) {
        Say("Service stop pending...\n");
        ::Sleep(PendingPollPause(status.dwWaitHint));
        if (!QueryStatus(service, status)) {
            Say("QueryServiceStatusEx failed (%d)\n", static_cast<int>(::GetLastError()));
            return false;
        }
        if (status.dwCurrentState == SERVICE_STOPPED) {
            Say("Service stopped successfully.\n");
            return true;
        }
        if (Elapsed(startTime) > kStopTimeoutMs) {
            Say("Service stop timed out.\n");
            return false;
        }
    }

    // A dependent that cannot be stopped does not keep us from trying the service itself.
    StopDependentServices(service, manager, enumerate);

    if (!SendStop(service, status)) {
        Say("ControlService failed (%d)\n", static_cast<int>(::GetLastError()));
        return false;
    }

    while (status.dwCurrentState != SERVICE_STOPPED) {
        ::Sleep(StopPause(status.dwWaitHint));
        if (!QueryStatus(service, status)) {
            Say("QueryServiceStatusEx failed (%d)\n", static_cast<int>(::GetLastError()));
            return false;
        }
        if (status.dwCurrentState == SERVICE_STOPPED)
            break;
        if (Elapsed(startTime) > kStopTimeoutMs) {
            Say("Wait timed out\n");
            return false;
        }
    }
    Say("Service stopped successfully\n");
    return true;
}

// Steps 3 to 8 of the start, on an open handle.
void StartOpenService(SC_HANDLE service)
{
    SERVICE_STATUS_PROCESS status{};
    if (!QueryStatus(service, status)) {
        Say("QueryServiceStatusEx failed (%d)\n", static_cast<int>(::GetLastError()));
        return;
    }

    if (status.dwCurrentState != SERVICE_STOPPED && status.dwCurrentState != SERVICE_STOP_PENDING) {
        Say("Cannot start the service because it is already running\n");
        return;
    }

    DWORD notedTime = ::GetTickCount();
    DWORD notedCheckPoint = status.dwCheckPoint;
    while (status.dwCurrentState == SERVICE_STOP_PENDING) {
        ::Sleep(PendingPollPause(status.dwWaitHint));
        if (!QueryStatus(service, status)) {
            Say("QueryServiceStatusEx failed (%d)\n", static_cast<int>(::GetLastError()));
            return;
        }
        // A service that has stopped reports check point 0 and wait hint 0;
        // taken as a stalled stop, it would never be started again.
        if (status.dwCurrentState != SERVICE_STOP_PENDING)
            break;
        if (status.dwCheckPoint > notedCheckPoint) {
            notedTime = ::GetTickCount();
            notedCheckPoint = status.dwCheckPoint;
        } else if (Elapsed(notedTime) > status.dwWaitHint) {
            Say("Timeout waiting for service to stop\n");
            return;
        }
    }

    if (!::StartServiceW(service, 0, nullptr)) {
        Say("StartService failed (%d)\n", static_cast<int>(::GetLastError()));
        return;
    }

    Say("Service start pending...\n");
    if (!QueryStatus(service, status)) {
        Say("QueryServiceStatusEx failed (%d)\n", static_cast<int>(::GetLastError()));
        return;
    }
    notedTime = ::GetTickCount();
    notedCheckPoint = status.dwCheckPoint;
    while (status.dwCurrentState == SERVICE_START_PENDING) {
        ::Sleep(PendingPollPause(status.dwWaitHint));
        if (!QueryStatus(service, status)) {
            Say("QueryServiceStatusEx failed (%d)\n", static_cast<int>(::GetLastError()));
            break;
        }
        if (status.dwCheckPoint > notedCheckPoint) {
            notedTime = ::GetTickCount();
            notedCheckPoint = status.dwCheckPoint;
        } else if (Elapsed(notedTime) > status.dwWaitHint) {
            break;
        }
    }

    if (status.dwCurrentState == SERVICE_RUNNING) {
        Say("Service started successfully.\n");
    } else {
        Say("Service not started. \n");
        Say("  Current State: %d\n", static_cast<int>(status.dwCurrentState));
        Say("  Exit Code: %d\n", static_cast<int>(status.dwWin32ExitCode));
        Say("  Check Point: %d\n", static_cast<int>(status.dwCheckPoint));
        Say("  Wait Hint: %d\n", static_cast<int>(status.dwWaitHint));
    }
}

}  // namespace

DWORD PendingPollPause(DWORD waitHint)
{
    const DWORD pause = waitHint / 10;
    if (pause < 1000)
        return 1000;
    if (pause > 10000)
        return 10000;
    return pause;
}

bool StopDependentServices(SC_HANDLE service, SC_HANDLE manager)
{
    return StopDependentServices(service, manager, nullptr);
}

bool StopDependentServices(SC_HANDLE service, SC_HANDLE manager, EnumDependentServicesProc enumerate)
{
    if (enumerate == nullptr)
        enumerate = ::EnumDependentServicesW;
    const DWORD startTime = ::GetTickCount();

    DWORD bytesNeeded = 0;
    DWORD count = 0;
    if (enumerate(service, SERVICE_ACTIVE, nullptr, 0, &bytesNeeded, &count))
        return true;  // an empty buffer suffices: no active dependents
    if (::GetLastError() != ERROR_MORE_DATA)
        return false;

    qxt::UniqueProcessHeapMemory buffer(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, bytesNeeded));
    if (!buffer)
        return false;
    auto* dependents = static_cast<ENUM_SERVICE_STATUSW*>(buffer.Get());
    if (!enumerate(service, SERVICE_ACTIVE, dependents, bytesNeeded, &bytesNeeded, &count))
        return false;

    for (DWORD i = 0; i < count; ++i) {
        qxt::UniqueServiceHandle dependent(
            ::OpenServiceW(manager, dependents[i].lpServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS));
        if (!dependent)
            return false;

        SERVICE_STATUS_PROCESS status{};
        if (!SendStop(dependent.Get(), status))
            return false;
        while (status.dwCurrentState != SERVICE_STOPPED) {
            ::Sleep(StopPause(status.dwWaitHint));
            if (!QueryStatus(dependent.Get(), status))
                return false;
            if (status.dwCurrentState == SERVICE_STOPPED)
                break;
            if (Elapsed(startTime) > kStopTimeoutMs)
                return false;
        }
    }
    return true;
}

bool StopServiceAndWait()
{
    return StopServiceAndWait(kWindowsUpdateService);
}

void StartServiceAndWait()
{
    StartServiceAndWait(kWindowsUpdateService);
}

bool StopServiceAndWait(const wchar_t* serviceName, EnumDependentServicesProc enumerate)
{
    const DWORD startTime = ::GetTickCount();

    qxt::UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        Say("OpenSCManager failed (%d)\n", static_cast<int>(::GetLastError()));
        return false;
    }
    qxt::UniqueServiceHandle service(
        ::OpenServiceW(manager.Get(), serviceName, SERVICE_STOP | SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS));
    if (!service) {
        Say("OpenService failed (%d)\n", static_cast<int>(::GetLastError()));
        return false;
    }

    const bool stopped = StopOpenService(service.Get(), manager.Get(), startTime, enumerate);

    service.Reset();
    manager.Reset();
    return stopped;
}

void StartServiceAndWait(const wchar_t* serviceName)
{
    qxt::UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        Say("OpenSCManager failed (%d)\n", static_cast<int>(::GetLastError()));
        return;
    }
    qxt::UniqueServiceHandle service(::OpenServiceW(manager.Get(), serviceName, SERVICE_ALL_ACCESS));
    if (!service) {
        Say("OpenService failed (%d)\n", static_cast<int>(::GetLastError()));
        return;
    }

    StartOpenService(service.Get());

    service.Reset();
    manager.Reset();
}
