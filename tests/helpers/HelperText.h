// What the stand-in programs and DLLs share: UTF-8 for their log lines and
// the parameters of the process they run in.
#pragma once

#include <windows.h>

#include <string>

inline std::string Utf8(const std::wstring& text)
{
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                          nullptr);
    return bytes;
}

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
