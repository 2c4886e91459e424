// Recording stand-ins for every operation of the installation run. Each call
// becomes a note in the recorder's sequence ({kNote, L"InstallFlashPlugin", 0}),
// so one comparison shows the messages and the calls in their true order.
// Step results come from a per-test script; the download stand-in sends the
// messages a small two-file download would send.
#pragma once

#include "setup/SetupSession.h"
#include "tests/support/MessageRecorder.h"

#include <map>
#include <string>
#include <vector>

namespace qxt::test {

class StandInOperations {
public:
    // Sizes the download stand-in adds to EstimatedSize, one per file.
    static constexpr DWORD kFileSizes[] = {1000, 234};
    static constexpr const wchar_t* kTrailerHost = L"trailer.example";

    StandInOperations(MessageRecorder& recorder, SetupSession& session)
        : m_recorder(recorder), m_session(session)
    {
    }

    // Results the named operation returns, one per call; once they are used
    // up it succeeds. Also for L"DownloadClientFiles".
    void ScriptResults(const std::wstring& operation, std::vector<BOOL> results)
    {
        m_results[operation] = std::move(results);
    }

    // What a failing download says about its failure.
    void ScriptDownloadFailure(DownloadFailure failure) { m_downloadFailure = std::move(failure); }

    // The host text ReadServerHost finds.
    std::wstring stampedHost = kTrailerHost;

    // The worker thread, duplicated when ReadServerHost runs (closed by the owner).
    HANDLE workerThread = nullptr;

    SetupOperations Table();

    ~StandInOperations()
    {
        if (workerThread)
            ::CloseHandle(workerThread);
    }

private:
    BOOL Next(const std::wstring& operation);
    void ExpectSessionRecord(const InstallInfo& info, const char* operation);

    MessageRecorder& m_recorder;
    SetupSession& m_session;
    std::map<std::wstring, std::vector<BOOL>> m_results;
    std::map<std::wstring, size_t> m_calls;
    DownloadFailure m_downloadFailure;
};

// The messages the download stand-in sends for a successful download.
std::vector<ExpectedMessage> StandInDownloadMessages();

}  // namespace qxt::test
