#include "framework/WinThread.h"

#include <process.h>

CWinThread::~CWinThread()
{
    if (m_hThread)
        ::CloseHandle(m_hThread);
}

unsigned __stdcall CWinThread::ThreadEntry(void* self)
{
    auto* thread = static_cast<CWinThread*>(self);
    const UINT exitCode = thread->m_pfnThreadProc(thread->m_pThreadParams);
    delete thread;
    return exitCode;
}

BOOL CWinThread::CreateThread(DWORD createFlags, UINT stackSize)
{
    // Always created suspended, so the handle is stored before the thread can
    // run to its end and delete this object.
    unsigned id = 0;
    const uintptr_t handle = ::_beginthreadex(nullptr, stackSize, &ThreadEntry, this, CREATE_SUSPENDED, &id);
    if (!handle)
        return FALSE;
    m_hThread = reinterpret_cast<HANDLE>(handle);
    m_nThreadID = id;
    if (!(createFlags & CREATE_SUSPENDED))
        ::ResumeThread(m_hThread);
    return TRUE;
}

DWORD CWinThread::ResumeThread()
{
    return ::ResumeThread(m_hThread);
}

BOOL CWinThread::SetThreadPriority(int priority)
{
    return ::SetThreadPriority(m_hThread, priority);
}

CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority, UINT stackSize, DWORD createFlags)
{
    auto* thread = new CWinThread(proc, param);
    if (!thread->CreateThread(createFlags | CREATE_SUSPENDED, stackSize)) {
        delete thread;
        return nullptr;
    }
    thread->SetThreadPriority(priority);
    if (!(createFlags & CREATE_SUSPENDED))
        thread->ResumeThread();
    return thread;
}
