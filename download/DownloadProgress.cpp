#include "download/DownloadProgress.h"

#include "core/SetupMessages.h"
#include "download/ProgressReporter.h"
#include "framework/SrwGuard.h"

DownloadProgress::DownloadProgress(HWND window, ULONGLONG totalBytes, ULONGLONG files) noexcept
    : m_window(window), m_totalBytes(totalBytes), m_files(files)
{
}

void DownloadProgress::Begin(ULONGLONG keptFiles, ULONGLONG keptBytes)
{
    SrwGuard guard(m_lock);
    m_done = keptFiles;
    m_bytes = keptBytes;
    ::SendMessageW(m_window, WM_DOWNLOAD_FILE_INDEX, static_cast<WPARAM>(m_done), static_cast<LPARAM>(m_files));
    SendBar(true);
}

void DownloadProgress::Move(LONGLONG bytes)
{
    if (!CountsBytes() || bytes == 0)
        return;
    SrwGuard guard(m_lock);
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
    const ULONGLONG position = CountsBytes() ? (m_bytes < m_totalBytes ? m_bytes : m_totalBytes) : m_done;
    const ULONGLONG percent = upper == 0 ? 0 : position * 100 / upper;
    const DWORD now = ::GetTickCount();
    if (!always && percent == m_sentPercent && now - m_sentAt < ProgressReporter::kIntervalMs)
        return;
    SendProgress(m_window, position, upper);
    m_sentPercent = percent;
    m_sentAt = now;
}
