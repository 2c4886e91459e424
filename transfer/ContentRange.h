// The Content-Range header of a 206 answer.
#pragma once

#include <windows.h>

struct ContentRange {
    ULONGLONG first = 0;
    ULONGLONG last = 0;   // inclusive
    ULONGLONG total = 0;  // the whole file's length
};

// Reads "bytes FIRST-LAST/TOTAL" (the unit in any case). False for anything
// else: another unit, an unknown total ("*"), a range that is empty, reversed
// or reaches past the total, numbers past 64 bits or trailing text.
bool ParseContentRange(const wchar_t* text, ContentRange& range);
