// The error of a failed WinInet call, thrown by the internet classes where
// the call is one a download cannot go on without.
#pragma once

#include <windows.h>

class CInternetException {
public:
    explicit CInternetException(DWORD error) : m_dwError(error) {}
    DWORD m_dwError;  // GetLastError() of the failed call
};
