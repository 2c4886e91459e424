// The dialog's bar and counter for a whole download, fed by the transfers
// that run at once.
#pragma once

#include "transfer/ProgressSender.h"
#include "transfer/ProgressSink.h"

#include <windows.h>

// With the list's sizes the bar counts the bytes of the whole list (files
// already in place count whole at once); without them it counts finished
// files. The counter (WM_DOWNLOAD_FILE_INDEX) counts finished files either
// way. Nothing moves the bar before Begin (the file lists' own transfers
// are not on it), and from then on it never goes back: a transfer that
// drops what it held to start over leaves the bar where it was until it has
// passed it again. Safe to call from several threads; the bar's messages go
// out as ProgressSender allows, the counter's on every finished file, in the
// order the files finish.
class DownloadProgress {
public:
    explicit DownloadProgress(HWND window) noexcept : m_window(window), m_sender(window) {}
    DownloadProgress(const DownloadProgress&) = delete;
    DownloadProgress& operator=(const DownloadProgress&) = delete;

    // The list is read and the files in place too: totalBytes is the sum of
    // every listed size (0 when the list has none), files the entries, and
    // the starting point the files found current and their bytes.
    void Begin(ULONGLONG totalBytes, ULONGLONG files, ULONGLONG keptFiles, ULONGLONG keptBytes);
    // Bytes a transfer wrote; negative when it drops what it held to start over.
    void Move(LONGLONG bytes);
    // A file is finished; keptBytes are those of a file that was already in
    // place (a fetched file's bytes came with Move).
    void FileDone(ULONGLONG keptBytes = 0);

private:
    bool CountsBytes() const { return m_totalBytes != 0; }
    void SendBar(bool always);  // with m_lock held

    SRWLOCK m_lock = SRWLOCK_INIT;
    HWND m_window;
    ProgressSender m_sender;
    ULONGLONG m_totalBytes = 0;
    ULONGLONG m_files = 0;
    ULONGLONG m_bytes = 0;
    ULONGLONG m_done = 0;
    ULONGLONG m_shown = 0;  // the furthest position the bar has shown
};

// One transfer's share of the whole bar: what it has reported so far, so
// that a retry that starts from what the file holds adds only what is new.
class TransferShare final : public ProgressSink {
public:
    explicit TransferShare(DownloadProgress& whole) noexcept : m_whole(whole) {}

    void Begin(ULONGLONG position, ULONGLONG) override { Advance(position); }
    void Advance(ULONGLONG position) override
    {
        m_whole.Move(static_cast<LONGLONG>(position) - static_cast<LONGLONG>(m_reported));
        m_reported = position;
    }
    void End() override {}

private:
    DownloadProgress& m_whole;
    ULONGLONG m_reported = 0;
};
