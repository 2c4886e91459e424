#include "framework/FormatText.h"

#include <cwchar>

int FormatTextV(wchar_t* buffer, size_t count, const wchar_t* format, va_list args)
{
    if (count == 0)
        return -1;
    // msvcrt's own, not redirected: it leaves a text that fills the buffer
    // exactly without its terminator and returns -1 for one that does not fit.
    const int length = ::_vsnwprintf(buffer, count, format, args);
    if (length < 0 || static_cast<size_t>(length) >= count) {
        buffer[count - 1] = L'\0';
        return -1;
    }
    return length;
}

int FormatText(wchar_t* buffer, size_t count, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    const int length = FormatTextV(buffer, count, format, args);
    va_end(args);
    return length;
}
