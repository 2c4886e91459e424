// Stopping and starting the Windows Update service around the deletion of its
// download cache. Every outcome is one line on the standard output (which the
// window program does not show); the stop also says whether the service is
// stopped, since the cache may only go while it is.
#pragma once

#include <windows.h>

inline constexpr wchar_t kWindowsUpdateService[] = L"WuAuServ";

// Stops the active dependents of WuAuServ, then the service itself, and waits
// (30 s in all) until it has stopped. True when the service is stopped at the
// end (it may have been stopped already); false when it could not be opened,
// refused the request or was still stopping when the time was up.
bool StopServiceAndWait();
// Waits for a pending stop to finish, starts WuAuServ and waits while it starts.
void StartServiceAndWait();

// Stops every active dependent of the service; true when all stopped (or there
// was none). Gives up on the first dependent that cannot be stopped.
bool StopDependentServices(SC_HANDLE service, SC_HANDLE manager);

// The same operations on a service of any name. The enumeration of dependents
// is EnumDependentServicesW unless a caller (a test) passes its own.
using EnumDependentServicesProc = BOOL(WINAPI*)(SC_HANDLE service, DWORD state, LPENUM_SERVICE_STATUSW services,
                                               DWORD bufferSize, LPDWORD bytesNeeded, LPDWORD count);
bool StopServiceAndWait(const wchar_t* serviceName, EnumDependentServicesProc enumerate = nullptr);
void StartServiceAndWait(const wchar_t* serviceName);
bool StopDependentServices(SC_HANDLE service, SC_HANDLE manager, EnumDependentServicesProc enumerate);

// The pause between two status queries while a state is pending: a tenth of
// the wait hint, at least 1 s and at most 10 s.
DWORD PendingPollPause(DWORD waitHint);
