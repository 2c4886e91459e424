// Stopping the Windows Update service around the deletion of its download
// cache, and putting it back as it was afterwards. Every outcome is one line
// on the standard output (which the window program does not show) and the
// same line, naming the service, in the run log.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

inline constexpr wchar_t kWindowsUpdateService[] = L"WuAuServ";

// What a stop did, so that it can be undone.
struct ServiceStop {
    // The service is stopped at the end (it may have been stopped already):
    // its cache may go.
    bool stopped = false;
    // It was active (running, starting, pausing or paused) before the stop,
    // so it is started again afterwards. One that was stopped or stopping
    // before stays stopped.
    bool wasActive = false;
    // The dependents this stop asked to stop, in that order.
    std::vector<std::wstring> stoppedDependents;
};

// Stops the active dependents of WuAuServ, then the service itself, and waits
// (30 s in all) until it has stopped.
ServiceStop StopServiceAndWait();
// Starts WuAuServ again if it was active before the stop, and then the
// dependents the stop stopped (the last stopped first).
void RestoreService(const ServiceStop& stop);

// Waits for a pending stop to finish, starts WuAuServ and waits while it starts.
void StartServiceAndWait();

// Stops every active dependent of the service; true when all stopped (or there
// was none). Gives up on the first dependent that cannot be stopped.
bool StopDependentServices(SC_HANDLE service, SC_HANDLE manager);

// The same operations on a service of any name. The enumeration of dependents
// is EnumDependentServicesW unless a caller (a test) passes its own.
using EnumDependentServicesProc = BOOL(WINAPI*)(SC_HANDLE service, DWORD state, LPENUM_SERVICE_STATUSW services,
                                               DWORD bufferSize, LPDWORD bytesNeeded, LPDWORD count);
ServiceStop StopServiceAndWait(const wchar_t* serviceName, EnumDependentServicesProc enumerate = nullptr);
void RestoreService(const wchar_t* serviceName, const ServiceStop& stop);
void StartServiceAndWait(const wchar_t* serviceName);
// The names of the dependents it asked to stop go to stopped, when given.
bool StopDependentServices(SC_HANDLE service, SC_HANDLE manager, EnumDependentServicesProc enumerate,
                           std::vector<std::wstring>* stopped = nullptr);

// The pause between two status queries while a state is pending: a tenth of
// the wait hint, at least 1 s and at most 10 s.
DWORD PendingPollPause(DWORD waitHint);
// The pause between two status queries after a stop request: the wait hint,
// at least 100 ms (a service may give none) and at most the stop's 30 s.
DWORD StopPollPause(DWORD waitHint);
