// printf-style formatting of wide text by the system's C runtime (msvcrt),
// whose conventions every format string of the program follows: %ls for a
// wide string, %I64u for a 64-bit number. In C++ mingw routes the standard
// swprintf to its own C99 printf instead, which with its floating-point
// conversion adds about 30 KB to the program.
#pragma once

#include <cstdarg>
#include <cstddef>

// Writes the text into buffer, always terminated. The number of characters
// written, or -1 when the text did not fit (buffer then holds what did).
int FormatTextV(wchar_t* buffer, size_t count, const wchar_t* format, va_list args);
int FormatText(wchar_t* buffer, size_t count, const wchar_t* format, ...);
