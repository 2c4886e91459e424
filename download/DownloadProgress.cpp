#include "download/DownloadProgress.h"

#include "core/SetupMessages.h"
#include "framework/SrwGuard.h"

void DownloadProgress::Begin(ULONGLONG totalBytes, ULONGLONG files, ULONGLONG keptFiles, ULONGLONG keptBytes)
{
    SrwGuard guard(m_lock);
    m_totalBytes = totalBytes;
    m_files = files;
    m_done = keptFiles;
    m_bytes = keptBytes;
    ::SendMessageW(m_window, WM_DOWNLOAD_FILE_INDEX, static_cast<WPARAM>(m_done), static_cast<LPARAM>(m_files));
    SendBar(true);
}

void DownloadProgress::Move(LONGLONG bytes)
{
    if (bytes == 0)
        return;
    SrwGuard guard(m_lock);
    if (!CountsBytes())
        return;
    m_bytes = bytes < 0 && static_cast<ULONGLONG>(-bytes) > m_bytes ? 0 : m_bytes + bytes;
    SendBar(false);
}

void DownloadProgress::FileDone(ULONGLONG keptBytes)
{
    SrwGuard guard(m_lock);
    ++m_done;
    m_bytes += keptBytes;
    ::SendMessageW(m_window, WM_DOWNLOAD_FILE_INDEX, static_cast<WPARAM>(m_done), static_cast<LPARAM>(m_files));
    // Without sizes every file moves the bar; the last file fills it either way.
    SendBar(!CountsBytes() || m_done == m_files);
}

void DownloadProgress::SendBar(bool always)
{
    const ULONGLONG upper = CountsBytes() ? m_totalBytes : m_files;
    ULONGLONG position = CountsBytes() ? (m_bytes < m_totalBytes ? m_bytes : m_totalBytes) : m_done;
    // Bytes dropped for a fresh start are fetched again: the bar waits for
    // them rather than going back.
    if (position < m_shown) {
        if (!always)
            return;
        position = m_shown;
    }
    m_shown = position;
    m_sender.Offer(position, upper, always);
}
