#include "install/ServiceControl.h"

#include "framework/Handles.h"
#include "framework/LogFile.h"

#include <cstdarg>
#include <cstdio>

namespace {

// Total time the stop may take, and separately the dependents' stop.
constexpr DWORD kStopTimeoutMs = 30000;

// Every outcome goes to the standard output as one line, and to the run log
// with the service's name. A window program has no standard output, so nobody
// sees it there, but a console (or a test) does. Formatted by msvcrt, not by
// the C99 printf mingw substitutes in C++ (see FormatText.h).
__attribute__((format(ms_printf, 2, 3))) void Say(const wchar_t* service, const char* format, ...)
{
    char line[256] = {};
    va_list args;
    va_start(args, format);
    _vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    std::fputs(line, stdout);
    std::fflush(stdout);

    // The texts are ASCII; the log has one event per line, so without the line end.
    std::wstring text(line, line + std::char_traits<char>::length(line));
    while (!text.empty() && (text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    LogLine(L"Service %ls: %ls", service, text.c_str());
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
bool StopOpenService(const wchar_t* name, SC_HANDLE service, SC_HANDLE manager, DWORD startTime,
                     EnumDependentServicesProc enumerate, ServiceStop& stop)
{
    SERVICE_STATUS_PROCESS status{};
    if (!QueryStatus(service, status)) {
        Say(name, "QueryServiceStatusEx failed (%d)\n", static_cast<int>(::GetLastError()));
        return false;
    }

    if (status.dwCurrentState == SERVICE_STOPPED) {
        Say(name, "Service is already stopped.\n");
        return true;
    }
    // One that someone else is stopping would have been stopped all the same.
    stop.wasActive = status.dwCurrentState != SERVICE_STOP_PENDING;

    while (status.dwCurrentState == SERVICE_STOP_PENDING) {
        Say(name, "Service stop pending...\n");
        ::Sleep(PendingPollPause(status.dwWaitHint));
        if (!QueryStatus(service, status)) {
            Say(name, "QueryServiceStatusEx failed (%d)\n", static_cast<int>(::GetLastError()));
            return false;
        }
        if (status.dwCurrentState == SERVICE_STOPPED) {
            Say(name, "Service stopped successfully.\n");
            return true;
        }
        if (Elapsed(startTime) > kStopTimeoutMs) {
            Say(name, "Service stop timed out.\n");
            return false;
        }
    }

    // A dependent that cannot be stopped does not keep us from trying the service itself.
    StopDependentServices(service, manager, enumerate, &stop.stoppedDependents);

    if (!SendStop(service, status)) {
        Say(name, "ControlService failed (%d)\n", static_cast<int>(::GetLastError()));
        return false;
    }

    while (status.dwCurrentState != SERVICE_STOPPED) {
        ::Sleep(StopPollPause(status.dwWaitHint));
        if (!QueryStatus(service, status)) {
            Say(name, "QueryServiceStatusEx failed (%d)\n", static_cast<int>(::GetLastError()));
            return false;
        }
        if (status.dwCurrentState == SERVICE_STOPPED)
            break;
        if (Elapsed(startTime) > kStopTimeoutMs) {
            Say(name, "Wait timed out\n");
            return false;
        }
    }
    Say(name, "Service stopped successfully\n");
    return true;
}

// Steps 3 to 8 of the start, on an open handle.
void StartOpenService(const wchar_t* name, SC_HANDLE service)
{
    SERVICE_STATUS_PROCESS status{};
    if (!QueryStatus(service, status)) {
        Say(name, "QueryServiceStatusEx failed (%d)\n", static_cast<int>(::GetLastError()));
        return;
    }

    if (status.dwCurrentState != SERVICE_STOPPED && status.dwCurrentState != SERVICE_STOP_PENDING) {
        Say(name, "Cannot start the service because it is already running\n");
        return;
    }

    DWORD notedTime = ::GetTickCount();
    DWORD notedCheckPoint = status.dwCheckPoint;
    while (status.dwCurrentState == SERVICE_STOP_PENDING) {
        ::Sleep(PendingPollPause(status.dwWaitHint));
        if (!QueryStatus(service, status)) {
            Say(name, "QueryServiceStatusEx failed (%d)\n", static_cast<int>(::GetLastError()));
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
            Say(name, "Timeout waiting for service to stop\n");
            return;
        }
    }

    if (!::StartServiceW(service, 0, nullptr)) {
        Say(name, "StartService failed (%d)\n", static_cast<int>(::GetLastError()));
        return;
    }

    Say(name, "Service start pending...\n");
    if (!QueryStatus(service, status)) {
        Say(name, "QueryServiceStatusEx failed (%d)\n", static_cast<int>(::GetLastError()));
        return;
    }
    notedTime = ::GetTickCount();
    notedCheckPoint = status.dwCheckPoint;
    while (status.dwCurrentState == SERVICE_START_PENDING) {
        ::Sleep(PendingPollPause(status.dwWaitHint));
        if (!QueryStatus(service, status)) {
            Say(name, "QueryServiceStatusEx failed (%d)\n", static_cast<int>(::GetLastError()));
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
        Say(name, "Service started successfully.\n");
    } else {
        Say(name, "Service not started. \n");
        Say(name, "  Current State: %d\n", static_cast<int>(status.dwCurrentState));
        Say(name, "  Exit Code: %d\n", static_cast<int>(status.dwWin32ExitCode));
        Say(name, "  Check Point: %d\n", static_cast<int>(status.dwCheckPoint));
        Say(name, "  Wait Hint: %d\n", static_cast<int>(status.dwWaitHint));
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

DWORD StopPollPause(DWORD waitHint)
{
    // A service that gives no wait hint would otherwise be asked again at once,
    // thousands of times a second, for the whole stop; one whose hint reaches
    // the time-out (or INFINITE) must not keep the installation asleep beyond it.
    constexpr DWORD kShortestPause = 100;
    if (waitHint < kShortestPause)
        return kShortestPause;
    return waitHint < kStopTimeoutMs ? waitHint : kStopTimeoutMs;
}

bool StopDependentServices(SC_HANDLE service, SC_HANDLE manager)
{
    return StopDependentServices(service, manager, nullptr);
}

bool StopDependentServices(SC_HANDLE service, SC_HANDLE manager, EnumDependentServicesProc enumerate,
                           std::vector<std::wstring>* stopped)
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
        // Asked to stop for our sake: it is started again afterwards, also
        // when it does not finish stopping in time.
        if (stopped)
            stopped->push_back(dependents[i].lpServiceName);
        while (status.dwCurrentState != SERVICE_STOPPED) {
            ::Sleep(StopPollPause(status.dwWaitHint));
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

ServiceStop StopServiceAndWait()
{
    return StopServiceAndWait(kWindowsUpdateService);
}

void RestoreService(const ServiceStop& stop)
{
    RestoreService(kWindowsUpdateService, stop);
}

void StartServiceAndWait()
{
    StartServiceAndWait(kWindowsUpdateService);
}

ServiceStop StopServiceAndWait(const wchar_t* serviceName, EnumDependentServicesProc enumerate)
{
    const DWORD startTime = ::GetTickCount();
    ServiceStop stop;

    qxt::UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        Say(serviceName, "OpenSCManager failed (%d)\n", static_cast<int>(::GetLastError()));
        return stop;
    }
    qxt::UniqueServiceHandle service(
        ::OpenServiceW(manager.Get(), serviceName, SERVICE_STOP | SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS));
    if (!service) {
        Say(serviceName, "OpenService failed (%d)\n", static_cast<int>(::GetLastError()));
        return stop;
    }

    stop.stopped = StopOpenService(serviceName, service.Get(), manager.Get(), startTime, enumerate, stop);

    service.Reset();
    manager.Reset();
    return stop;
}

void RestoreService(const wchar_t* serviceName, const ServiceStop& stop)
{
    if (stop.wasActive)
        StartServiceAndWait(serviceName);
    else if (stop.stopped)
        Say(serviceName, "Service was not running before; it stays stopped.\n");
    // The dependents need the service; the last one stopped may need those before it.
    for (auto dependent = stop.stoppedDependents.rbegin(); dependent != stop.stoppedDependents.rend(); ++dependent)
        StartServiceAndWait(dependent->c_str());
}

void StartServiceAndWait(const wchar_t* serviceName)
{
    qxt::UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        Say(serviceName, "OpenSCManager failed (%d)\n", static_cast<int>(::GetLastError()));
        return;
    }
    qxt::UniqueServiceHandle service(::OpenServiceW(manager.Get(), serviceName, SERVICE_ALL_ACCESS));
    if (!service) {
        Say(serviceName, "OpenService failed (%d)\n", static_cast<int>(::GetLastError()));
        return;
    }

    StartOpenService(serviceName, service.Get());

    service.Reset();
    manager.Reset();
}
