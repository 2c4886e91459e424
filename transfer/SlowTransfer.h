// Tells a transfer that has become too slow to be worth waiting for: one
// whose rate has stayed below the slowest rate allowed for a whole window,
// as on a network that still answers but hardly moves anything. A receive
// timeout cannot see it: a server that sends one byte now and then is never
// silent for long.
#pragma once

#include <windows.h>

class SlowTransferWatch {
public:
    SlowTransferWatch(DWORD windowMs, DWORD slowestBytesPerSecond) noexcept
        : m_windowMs(windowMs), m_rate(slowestBytesPerSecond)
    {
    }

    // Given how many bytes of the body have arrived by `now` (milliseconds,
    // from the same clock as `since`, the time the body started): true once
    // a whole window or more has brought less than the slowest rate's worth.
    // A window starts again whenever a window's worth has arrived, so a
    // transfer at or above the rate never counts as slow, and one that slows
    // down counts as slow within a window of slowing down. A window of 0
    // turns the watch off.
    //
    // The bytes are seen as the reads of the body end, a chunk at a time, so
    // a transfer only just above the rate can count as slow when its chunks
    // straddle a window.
    bool TooSlow(ULONGLONG since, ULONGLONG now, ULONGLONG received)
    {
        if (m_windowMs == 0)
            return false;
        if (!m_started) {
            m_started = true;
            m_markAt = since;
            m_markBytes = 0;
        }
        const ULONGLONG elapsed = now - m_markAt;
        const ULONGLONG got = received - m_markBytes;
        if (elapsed >= m_windowMs && got * 1000 < m_rate * elapsed)
            return true;
        if (got * 1000 >= m_rate * m_windowMs && got != 0) {
            m_markAt = now;
            m_markBytes = received;
        }
        return false;
    }

private:
    DWORD m_windowMs;
    ULONGLONG m_rate;  // bytes a second
    bool m_started = false;
    ULONGLONG m_markAt = 0;
    ULONGLONG m_markBytes = 0;
};
