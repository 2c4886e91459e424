#include "framework/Process.h"

#include "framework/Handles.h"
#include "framework/LogFile.h"
#include "framework/MessageBox.h"
#include "framework/SystemErrorText.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <string>

DWORD RunAndWait(const wchar_t* program, const wchar_t* parameters, bool show, bool wait)
{
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // No shell UI: the shell's own error box would come first, and closing it
    // resets the last error, so our box would then read "success".
    // No zone check either: a file marked as downloaded from the internet
    // would get the shell's security prompt, which holds the waiting thread
    // (and a silent run) until somebody answers it; the callers start only
    // files they placed and checked themselves.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOZONECHECKS;
    info.hwnd = nullptr;
    info.lpVerb = nullptr;
    info.lpFile = program;
    info.lpParameters = parameters;
    info.lpDirectory = nullptr;
    info.nShow = show ? SW_SHOW : SW_HIDE;
    const ULONGLONG started = ::GetTickCount64();
    LogLine(L"Run %ls %ls", program, parameters ? parameters : L"");
    if (!::ShellExecuteExW(&info)) {
        const std::wstring error = LastErrorText();
        LogError(L"%ls could not be started: %ls", program, error.c_str());
        AfxMessageBox(error, MB_OK);
        return 0;
    }

    qxt::UniqueKernelHandle process(info.hProcess);
    // A start handed to an already running program (DDE) yields no process to wait for.
    if (!wait || !process)
        return 0;

    ::WaitForSingleObject(process.Get(), INFINITE);
    DWORD exitCode = 0;
    if (!::GetExitCodeProcess(process.Get(), &exitCode))
        return 0;
    // Every code but 0 is a failure to the caller.
    (exitCode == 0 ? LogLine : LogError)(L"%ls ended with exit code %lu after %.1f s", program,
                                         static_cast<unsigned long>(exitCode),
                                         static_cast<double>(::GetTickCount64() - started) / 1000.0);
    return exitCode;
}

bool KillFirstProcessByName(const wchar_t* exeName)
{
    qxt::UniqueSnapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return false;

    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    DWORD found = 0;
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
         more = ::Process32NextW(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID != 0 && ::lstrcmpiW(entry.szExeFile, exeName) == 0) {
            found = entry.th32ProcessID;
            break;
        }
    }
    snapshot.Reset();

    // Only the first process by that name is ended.
    if (found != 0) {
        qxt::UniqueKernelHandle process(::OpenProcess(PROCESS_TERMINATE, FALSE, found));
        if (process)
            ::TerminateProcess(process.Get(), 0);
    }
    return true;
}
