// Text as the logs hold it: the setup program's log and the stand-in
// programs' logs are written in UTF-8. Header only, so that the stand-in
// programs (no test library) write their lines the way the tests read them.
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
