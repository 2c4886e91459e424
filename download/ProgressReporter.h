// WM_DOWNLOAD_PROGRESS to the dialog for one transfer.
#pragma once

#include <windows.h>

struct TransferProgress;

// Sent across threads, one message per chunk costs as much as the transfer
// itself, so a position goes out only when the bar's whole percent changes or
// 50 ms have passed since the last one; the first position and the last one
// always go out.
//
// With a share of the whole download's bar (several transfers at once), each
// position goes there instead, and that bar decides when to send.
class ProgressReporter {
public:
    static constexpr DWORD kIntervalMs = 50;

    ProgressReporter(HWND window, ULONGLONG upper, TransferProgress* share = nullptr) noexcept
        : m_window(window), m_upper(upper), m_share(share)
    {
    }

    // The first report: what the file already holds (0 for a fresh transfer).
    void Start(ULONGLONG position = 0);
    void Advance(ULONGLONG position);
    // The position reached, if it has not gone out yet.
    void Finish();

private:
    ULONGLONG Percent(ULONGLONG position) const { return m_upper == 0 ? 0 : position * 100 / m_upper; }
    void Send(ULONGLONG position);

    HWND m_window;
    ULONGLONG m_upper;
    TransferProgress* m_share;
    ULONGLONG m_sent = 0;
    ULONGLONG m_pending = 0;
    DWORD m_sentAt = 0;
    bool m_started = false;
};

// The message carries 32-bit numbers and the bar takes a signed range, so a
// range past 2 GiB goes out with both numbers scaled alike.
void SendProgress(HWND window, ULONGLONG position, ULONGLONG upper);
