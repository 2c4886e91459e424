#include "transfer/ContentRange.h"

namespace {

bool ReadNumber(const wchar_t*& p, ULONGLONG& value)
{
    const wchar_t* start = p;
    value = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p) {
        if (value > (~0ULL - 9) / 10)
            return false;
        value = value * 10 + static_cast<ULONGLONG>(*p - L'0');
    }
    return p != start;
}

void SkipBlanks(const wchar_t*& p)
{
    while (*p == L' ' || *p == L'\t')
        ++p;
}

}  // namespace

bool ParseContentRange(const wchar_t* text, ContentRange& range)
{
    if (!text)
        return false;
    const wchar_t* p = text;
    SkipBlanks(p);
    for (const wchar_t* unit = L"bytes"; *unit; ++unit, ++p) {
        if ((*p | 0x20) != *unit)
            return false;
    }
    if (*p != L' ')
        return false;
    SkipBlanks(p);
    ContentRange read;
    if (!ReadNumber(p, read.first) || *p++ != L'-' || !ReadNumber(p, read.last) || *p++ != L'/' ||
        !ReadNumber(p, read.total))
        return false;
    SkipBlanks(p);
    if (*p != 0 || read.last < read.first || read.last >= read.total)
        return false;
    range = read;
    return true;
}
