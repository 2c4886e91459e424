#include "framework/SystemErrorText.h"

#include "framework/FormatText.h"
#include "framework/Handles.h"

#include <cwchar>

std::wstring SystemErrorText(DWORD error)
{
    wchar_t* text = nullptr;
    // Some system texts carry inserts ("%1 is not a valid Win32 application");
    // with no arguments to fill them FormatMessageW would read garbage, so the
    // inserts are left in the text as they stand.
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    qxt::UniqueLocalMemory owner(text);
    if (length != 0 && text != nullptr)
        return std::wstring(text, length);

    wchar_t fallback[40];
    FormatText(fallback, 40, L"错误代码 %lu", static_cast<unsigned long>(error));
    return fallback;
}
