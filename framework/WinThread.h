// CWinThread and AfxBeginThread: a thread running a procedure with one
// argument. The thread object deletes itself (and closes its handle) when
// the procedure has returned, so after ResumeThread its pointer serves only
// as a mark that the thread was started.
#pragma once

#include <windows.h>

using AFX_THREADPROC = UINT(__cdecl*)(LPVOID);

class CWinThread {
public:
    HANDLE m_hThread = nullptr;
    DWORD m_nThreadID = 0;

    CWinThread(AFX_THREADPROC proc, LPVOID param) noexcept : m_pfnThreadProc(proc), m_pThreadParams(param) {}
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;
    ~CWinThread();

    // Starts the thread (suspended when flags hold CREATE_SUSPENDED).
    BOOL CreateThread(DWORD createFlags = 0, UINT stackSize = 0);
    DWORD ResumeThread();
    BOOL SetThreadPriority(int priority);

private:
    static unsigned __stdcall ThreadEntry(void* self);

    AFX_THREADPROC m_pfnThreadProc;
    LPVOID m_pThreadParams;
};

// Creates and starts a thread; returns nullptr when it cannot be created.
CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority = THREAD_PRIORITY_NORMAL,
                           UINT stackSize = 0, DWORD createFlags = 0);
