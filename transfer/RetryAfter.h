// The Retry-After header of an answer that asks the client to come back later.
#pragma once

#include <windows.h>

// Reads the header's value as a pause in whole seconds: either a number of
// seconds or an HTTP date, which counts from the answer's own Date (when the
// server sent one; *answerDate nullptr: from this machine's clock), so that a
// clock that is wrong on either side does not matter. A date already past is
// no pause at all. False for anything else, which leaves the pause to the
// caller.
bool ParseRetryAfter(const wchar_t* text, const SYSTEMTIME* answerDate, ULONGLONG& seconds);
