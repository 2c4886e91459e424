// What the stand-in programs and DLLs share: UTF-8 for their log lines and
// the parameters of the process they run in.
#pragma once

#include "tests/support/Utf8Text.h"

#include <windows.h>

#include <string>

// The process's command line after its program name (quoted or not) and one blank.
inline std::wstring ProcessParameters()
{
    const wchar_t* p = ::GetCommandLineW();
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"')
            ++p;
        if (*p)
            ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t')
            ++p;
    }
    if (*p == L' ' || *p == L'\t')
        ++p;
    return p;
}
