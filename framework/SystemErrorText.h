// The system's own text for an error code, as every box that reports a
// system error shows it.
#pragma once

#include <windows.h>
#include <string>

// FormatMessageW's text for the code in the system's default language order,
// as the system gives it (normally ending with a line break). When the system
// has no text for the code, a short text naming the code.
std::wstring SystemErrorText(DWORD error);

// The same for the calling thread's last error.
inline std::wstring LastErrorText()
{
    return SystemErrorText(::GetLastError());
}
