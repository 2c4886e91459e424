// The user's cancel request as the download code sees it: a flag the dialog
// sets and the download polls between steps.
#pragma once

#include <windows.h>

// The pause between seeing a cancel and giving up, the same at every point
// where the download looks at the flag.
inline constexpr DWORD kCancelPauseMs = 100;

// True when a flag is given and set.
inline bool CancelRequested(const volatile LONG* cancel)
{
    return cancel != nullptr && *cancel != 0;
}
