// The dialog's bar and counter for a whole download, fed by the transfers
// that run at once.
#pragma once

#include <windows.h>

// With the list's sizes the bar counts the bytes of the whole list (files
// already in place count whole at once); without them it counts finished
// files. The counter (WM_DOWNLOAD_FILE_INDEX) counts finished files either
// way. Safe to call from several threads; the bar's messages go out as
// ProgressReporter sends them (on a whole percent or after 50 ms), the
// counter's on every finished file, in the order the files finish.
class DownloadProgress {
public:
    // totalBytes: the sum of every listed size; 0 when the list has none.
    DownloadProgress(HWND window, ULONGLONG totalBytes, ULONGLONG files) noexcept;
    DownloadProgress(const DownloadProgress&) = delete;
    DownloadProgress& operator=(const DownloadProgress&) = delete;

    // The starting point: the files found current and their bytes.
    void Begin(ULONGLONG keptFiles, ULONGLONG keptBytes);
    // Bytes a transfer wrote; negative when it drops what it held to start over.
    void Move(LONGLONG bytes);
    // A file is finished; keptBytes are those of a file that was already in
    // place (a fetched file's bytes came with Move).
    void FileDone(ULONGLONG keptBytes = 0);

    bool CountsBytes() const { return m_totalBytes != 0; }

private:
    void SendBar(bool always);  // with m_lock held

    SRWLOCK m_lock = SRWLOCK_INIT;
    HWND m_window;
    ULONGLONG m_totalBytes;
    ULONGLONG m_files;
    ULONGLONG m_bytes = 0;
    ULONGLONG m_done = 0;
    ULONGLONG m_sentPercent = 0;
    DWORD m_sentAt = 0;
};

// One transfer's share of the whole bar: what it has reported so far, so
// that a retry that starts from what the file holds adds only what is new.
struct TransferProgress {
    DownloadProgress* whole = nullptr;
    ULONGLONG reported = 0;

    void MoveTo(ULONGLONG position)
    {
        whole->Move(static_cast<LONGLONG>(position) - static_cast<LONGLONG>(reported));
        reported = position;
    }
};
