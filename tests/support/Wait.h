// The one way tests wait for something another thread or process does: poll
// with a bound, never a fixed sleep.
#pragma once

#include <windows.h>

namespace qxt::test {

// Polls until check() is true or the time runs out; true when it became true.
// Nothing is pumped: a test that must keep its own windows answering uses
// PumpUntil (tests/controls/ControlHost.h).
template <typename Check>
bool WaitUntil(Check check, DWORD timeoutMs = 10000)
{
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (check())
            return true;
        if (::GetTickCount64() >= end)
            return false;
        ::Sleep(10);
    }
}

}  // namespace qxt::test
