#include "download/ProgressReporter.h"

#include "core/SetupMessages.h"
#include "download/DownloadProgress.h"

void ProgressReporter::Start(ULONGLONG position)
{
    if (m_share) {
        m_share->MoveTo(position);
        return;
    }
    Send(position);
}

void ProgressReporter::Advance(ULONGLONG position)
{
    if (m_share) {
        m_share->MoveTo(position);
        return;
    }
    m_pending = position;
    if (Percent(position) != Percent(m_sent) || ::GetTickCount() - m_sentAt >= kIntervalMs)
        Send(position);
}

void ProgressReporter::Finish()
{
    if (!m_share && m_started && m_pending != m_sent)
        Send(m_pending);
}

void ProgressReporter::Send(ULONGLONG position)
{
    SendProgress(m_window, position, m_upper);
    m_started = true;
    m_sent = m_pending = position;
    m_sentAt = ::GetTickCount();
}

void SendProgress(HWND window, ULONGLONG position, ULONGLONG upper)
{
    while (upper > 0x7FFFFFFF) {
        upper >>= 1;
        position >>= 1;
    }
    ::SendMessageW(window, WM_DOWNLOAD_PROGRESS, static_cast<WPARAM>(position), static_cast<LPARAM>(upper));
}
