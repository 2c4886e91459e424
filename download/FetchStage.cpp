#include "download/FetchStage.h"

#include "download/RefusalReport.h"
#include "download/RunThreads.h"
#include "download/StatusText.h"
#include "core/SetupMessages.h"
#include "transfer/CancelRequest.h"
#include "transfer/DownloadFile.h"
#include "transfer/ServerList.h"
#include "framework/InternetSession.h"
#include "framework/LogFile.h"
#include "framework/WorkerThreads.h"

namespace {
// The transfers of one run: up to transfers files at once, taken up in list
// order, a file named twice by one transfer after the other.
class FetchStage {
public:
    FetchStage(const std::wstring& folder, const std::vector<ListedFile>& entries,
               const std::vector<std::vector<size_t>>& groups, const EarlierListReadAhead& readAhead,
               std::vector<LocalCopy>& copies, ServerList& servers, const DownloadTimings& timings, HWND window,
               const volatile LONG* cancel, DownloadProgress& progress, std::vector<FileOutcome>& outcomes)
        : m_folder(folder), m_entries(entries), m_groups(groups), m_readAhead(readAhead), m_copies(copies),
          m_servers(servers), m_timings(timings), m_window(window), m_cancel(cancel), m_progress(progress),
          m_outcomes(outcomes), m_stops(entries.size(), 0)
    {
    }

    // What each transfer thread does: group after group, until there is
    // none left or the stage stops.
    void Work()
    {
        for (;;) {
            // No more files are taken up once the user cancels (the
            // transfers see the cancel flag themselves) or a transfer fails.
            if (CancelRequested(m_cancel) || m_failed != 0)
                return;
            const size_t group = static_cast<size_t>(::InterlockedIncrement(&m_next) - 1);
            if (group >= m_groups.size())
                return;
            for (size_t i : m_groups[group])
                if (!TakeUp(i)) {
                    if (m_outcomes[i].failed)
                        StopAfter(i);
                    return;
                }
        }
    }

private:
    bool TakeUp(size_t i)
    {
        const ListedFile& entry = m_entries[i];
        const std::wstring localPath = m_folder + entry.name;
        LocalCopy& copy = m_copies[i];
        FileOutcome& outcome = m_outcomes[i];
        if (copy.examined && copy.current)
            return outcome.done = true;  // counted when the stage began
        // A later entry for a file named before is read now, after the
        // earlier one is in place.
        if (!copy.examined) {
            SendText(m_window, WM_SETUP_STATUS_TEXT, L"正在校验..." + entry.name);
            copy = Examine(localPath, entry, m_readAhead);
            LogLine(L"%ls", copy.decision.c_str());
            if (copy.current) {
                outcome.length = copy.length;
                m_progress.FileDone(copy.length);
                return outcome.done = true;
            }
        }
        if (m_stops[i] != 0) {
            outcome.stopped = true;
            return false;
        }

        SendText(m_window, WM_SETUP_STATUS_TEXT, L"正在下载..." + entry.name);
        DownloadOptions options;
        // A real digest, checked with the list: only then may a part left by
        // an earlier run be joined to the rest.
        if (entry.signedEntry) {
            options.expectedSha256 = &entry.signedEntry->sha256;
            options.listedSize = &entry.signedEntry->size;
        }
        else
            options.expectedDigest = entry.md5.c_str();
        options.name = entry.name.c_str();
        options.timings = m_timings;
        options.servers = &m_servers;
        options.report = &outcome.report;
        // The bar is the whole download's: it counts this transfer's bytes
        // when the list gives sizes, and only its end otherwise.
        TransferShare share(m_progress);
        options.progress = &share;
        const std::wstring url = m_servers.RequestBase() + entry.name;
        options.stop = &m_stops[i];
        const ULONGLONG length = DownloadFile(localPath.c_str(), url.c_str(), m_window, m_cancel, options,
                                              &outcome.failure);
        if (length == 0) {
            outcome.stopped = outcome.report.cancelled;
            outcome.failed = !outcome.stopped;
            return false;
        }
        outcome.length = length;
        m_progress.FileDone();
        return outcome.done = true;
    }

    const std::wstring& m_folder;
    const std::vector<ListedFile>& m_entries;
    const std::vector<std::vector<size_t>>& m_groups;
    const EarlierListReadAhead& m_readAhead;
    std::vector<LocalCopy>& m_copies;
    ServerList& m_servers;
    const DownloadTimings& m_timings;
    HWND m_window;
    const volatile LONG* m_cancel;
    DownloadProgress& m_progress;
    std::vector<FileOutcome>& m_outcomes;
    // A failure stops the transfers of the entries after it: each keeps what
    // its temporary file holds, and none lands partial. Those before it end
    // their file, so the failure the run reports is the first one in list
    // order, as if the files had come one after the other.
    void StopAfter(size_t failed)
    {
        ::InterlockedExchange(&m_failed, 1);
        for (size_t j = failed + 1; j < m_stops.size(); ++j)
            ::InterlockedExchange(&m_stops[j], 1);
    }

    std::vector<LONG> m_stops;  // one stop flag per entry
    volatile LONG m_next = 0;
    volatile LONG m_failed = 0;
};

}  // namespace

bool FetchFiles(const std::wstring& folder, const std::vector<ListedFile>& entries,
                const std::vector<std::vector<size_t>>& groups, const EarlierListReadAhead& readAhead,
                std::vector<LocalCopy>& copies, unsigned transfers, bool useSigned, ServerList& servers,
                const DownloadTimings& timings, HWND window, const volatile LONG* cancel, DownloadProgress& progress,
                std::vector<FileOutcome>& outcomes, DownloadFailure& result)
{
    ULONGLONG totalBytes = 0;
    ULONGLONG keptFiles = 0;
    ULONGLONG keptBytes = 0;
    std::vector<std::vector<size_t>> work;
    for (const std::vector<size_t>& group : groups) {
        for (size_t i : group) {
            if (useSigned)
                totalBytes += entries[i].signedEntry->size;
            if (copies[i].examined && copies[i].current) {
                outcomes[i].done = true;
                ++keptFiles;
                keptBytes += copies[i].length;
                outcomes[i].length = copies[i].length;
            }
        }
        if (group.size() > 1 || !copies[group.front()].current)
            work.push_back(group);
    }
    // The counter counts finished files, from those already in place; the
    // bar counts the whole list's bytes when the list gives sizes.
    progress.Begin(totalBytes, entries.size(), keptFiles, keptBytes);
    if (work.empty())
        return true;

    AllowConnectionsPerServer(transfers);
    FetchStage stage(folder, entries, work, readAhead, copies, servers, timings, window, cancel, progress, outcomes);
    const unsigned threads = transfers < work.size() ? transfers : static_cast<unsigned>(work.size());
    RunOnThreads(threads, [&stage] { stage.Work(); }, kThreadStackBytes);

    for (size_t i = 0; i < entries.size(); ++i) {
        const FileOutcome& file = outcomes[i];
        if (!file.failed && !(file.stopped && CancelRequested(cancel)))
            continue;
        const std::wstring failure = L"正在下载..." + entries[i].name + L" : 失败!";
        SendText(window, WM_SETUP_STATUS_TEXT, failure);
        SendText(window, WM_DOWNLOAD_FAILED, failure);
        if (file.failed) {
            result = file.failure;
            if (entries[i].signedEntry && file.report.mismatch)
                ReportRefusal(Refuse(SETUP_ERR_FILE_MISMATCH, L"file", file.report.expected + L" for " + entries[i].name,
                              file.report.received),
                       L"File", result, entries[i].name);
        }
        return false;
    }
    for (const FileOutcome& file : outcomes)
        if (!file.done)
            return false;  // a cancel before the entry was taken up
    return true;
}
