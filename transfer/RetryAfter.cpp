#include "transfer/RetryAfter.h"

#include <wininet.h>

namespace {

bool ToTicks(const SYSTEMTIME& time, ULONGLONG& ticks)
{
    FILETIME file{};
    if (!::SystemTimeToFileTime(&time, &file))
        return false;
    ticks = (static_cast<ULONGLONG>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
    return true;
}

}  // namespace

bool ParseRetryAfter(const wchar_t* text, const SYSTEMTIME* answerDate, ULONGLONG& seconds)
{
    if (!text)
        return false;
    const wchar_t* p = text;
    while (*p == L' ' || *p == L'\t')
        ++p;
    if (*p >= L'0' && *p <= L'9') {
        ULONGLONG value = 0;
        for (; *p >= L'0' && *p <= L'9'; ++p) {
            const ULONGLONG digit = static_cast<ULONGLONG>(*p - L'0');
            if (value > (~0ULL - digit) / 10)
                return false;
            value = value * 10 + digit;
        }
        while (*p == L' ' || *p == L'\t')
            ++p;
        if (*p != 0)
            return false;
        seconds = value;
        return true;
    }

    // An HTTP date names a weekday first; anything else is not one.
    if (!((*p >= L'A' && *p <= L'Z') || (*p >= L'a' && *p <= L'z')))
        return false;
    SYSTEMTIME when{};
    ULONGLONG until = 0;
    if (!::InternetTimeToSystemTimeW(p, &when, 0) || !ToTicks(when, until))
        return false;
    SYSTEMTIME now{};
    if (answerDate)
        now = *answerDate;
    else
        ::GetSystemTime(&now);
    ULONGLONG from = 0;
    if (!ToTicks(now, from))
        return false;
    constexpr ULONGLONG kTicksPerSecond = 10000000;
    seconds = until <= from ? 0 : (until - from + kTicksPerSecond - 1) / kTicksPerSecond;
    return true;
}
