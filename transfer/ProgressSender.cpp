#include "transfer/ProgressSender.h"

#include "core/SetupMessages.h"

namespace {

ULONGLONG Percent(ULONGLONG position, ULONGLONG upper)
{
    return upper == 0 ? 0 : position * 100 / upper;
}

}  // namespace

void ProgressSender::Offer(ULONGLONG position, ULONGLONG upper, bool always)
{
    if (always || !m_started || Percent(position, upper) != m_sentPercent || ::GetTickCount() - m_sentAt >= kIntervalMs) {
        Send(position, upper);
        return;
    }
    m_pending = position;
    m_pendingUpper = upper;
    m_hasPending = true;
}

void ProgressSender::Flush()
{
    if (m_hasPending)
        Send(m_pending, m_pendingUpper);
}

void ProgressSender::Send(ULONGLONG position, ULONGLONG upper)
{
    SendProgress(m_window, position, upper);
    m_started = true;
    m_hasPending = false;
    m_sentPercent = Percent(position, upper);
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
