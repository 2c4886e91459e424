#include "download/ProgressReporter.h"

#include "core/SetupMessages.h"

void ProgressReporter::Advance(ULONGLONG position)
{
    m_pending = position;
    if (Percent(position) != Percent(m_sent) || ::GetTickCount() - m_sentAt >= kIntervalMs)
        Send(position);
}

void ProgressReporter::Finish()
{
    if (m_started && m_pending != m_sent)
        Send(m_pending);
}

// The message carries 32-bit numbers and the bar takes a signed range, so a
// file past 2 GiB reports both numbers scaled alike.
void ProgressReporter::Send(ULONGLONG position)
{
    ULONGLONG upper = m_upper;
    ULONGLONG shown = position;
    while (upper > 0x7FFFFFFF) {
        upper >>= 1;
        shown >>= 1;
    }
    ::SendMessageW(m_window, WM_DOWNLOAD_PROGRESS, static_cast<WPARAM>(shown), static_cast<LPARAM>(upper));
    m_started = true;
    m_sent = m_pending = position;
    m_sentAt = ::GetTickCount();
}
