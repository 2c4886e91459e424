// WM_DOWNLOAD_PROGRESS to the dialog, no more often than the bar can show.
#pragma once

#include <windows.h>

// Sent across threads, one message per chunk costs as much as the transfer
// itself, so a position goes out only when the bar's whole percent changes
// or kIntervalMs have passed since the last one; the caller says which
// positions must go out whatever the time (the first and the last). Not
// safe to call from several threads at once: its owner holds the lock.
class ProgressSender {
public:
    static constexpr DWORD kIntervalMs = 50;

    explicit ProgressSender(HWND window) noexcept : m_window(window) {}

    // Sends position of upper when always, on a new whole percent or after
    // kIntervalMs; otherwise keeps it for Flush.
    void Offer(ULONGLONG position, ULONGLONG upper, bool always = false);
    // Sends the last position offered, if it has not gone out.
    void Flush();

private:
    void Send(ULONGLONG position, ULONGLONG upper);

    HWND m_window;
    ULONGLONG m_pending = 0;
    ULONGLONG m_pendingUpper = 0;
    bool m_hasPending = false;
    ULONGLONG m_sentPercent = 0;
    DWORD m_sentAt = 0;
    bool m_started = false;
};

// The message carries 32-bit numbers and the bar takes a signed range, so a
// range past 2 GiB goes out with both numbers scaled alike.
void SendProgress(HWND window, ULONGLONG position, ULONGLONG upper);
