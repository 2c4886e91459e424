#include "download/PlainListFetch.h"

#include "transfer/CancelRequest.h"
#include "transfer/DownloadFile.h"
#include "transfer/FailureDetail.h"
#include "transfer/ProgressSink.h"
#include "trust/ClientFileEntry.h"
#include "framework/LogFile.h"
#include "framework/StdioFile.h"

namespace {

// A manifest saved with a UTF-8 byte-order mark: the mark is not part of the first name.
void SkipByteOrderMark(std::wstring& line)
{
    if (line.size() >= 3 && line[0] == 0xEF && line[1] == 0xBB && line[2] == 0xBF)
        line.erase(0, 3);
}

}  // namespace

bool ReadPlainList(const std::wstring& url, const std::wstring& folder, HWND window, const volatile LONG* cancel,
                   const DownloadTimings& timings, DownloadFailure* reason, std::vector<ListedFile>& entries,
                   ServerList& servers)
{
    const std::wstring manifestPath = folder + L"Client.txt";
    DownloadOptions manifestOptions;
    manifestOptions.name = L"Client.txt";
    manifestOptions.timings = timings;
    manifestOptions.servers = &servers;
    // The bar shows the files, once the list has said what they are.
    NoProgress noBar;
    manifestOptions.progress = &noBar;
    if (DownloadFile(manifestPath.c_str(), url.c_str(), window, cancel, manifestOptions, reason) == 0)
        return false;

    CStdioFile manifest;
    if (!manifest.Open(manifestPath.c_str(), CStdioFile::typeText | CFile::modeRead))
        return false;
    std::wstring line;
    bool first = true;
    while (manifest.ReadString(line)) {
        if (first)
            SkipByteOrderMark(line);
        first = false;
        line = TrimManifestWhiteSpace(line);
        if (line.empty())
            break;
        if (CancelRequested(cancel)) {
            manifest.Close();
            ::Sleep(kCancelPauseMs);
            return false;
        }
        const ClientFileEntry entry = ParseClientFileEntry(line);
        if (const wchar_t* problem = ClientFileEntryProblem(entry)) {
            LogError(L"Manifest Client.txt, line %u is damaged (%ls): %ls", static_cast<unsigned>(entries.size() + 1),
                     problem, EscapeLogText(line).c_str());
            // A network that answers every request with its login page.
            if (reason && entries.empty() && LooksLikeWebPage(line))
                reason->detail = LoginPageDetail();
            return false;
        }
        ListedFile listed;
        listed.name = entry.name;
        listed.md5 = entry.digest;
        entries.push_back(std::move(listed));
    }
    if (manifest.Failed())
        return false;
    manifest.Close();
    // An empty list would leave the install folder without a client and the
    // run would only notice at the first installer.
    if (entries.empty()) {
        LogError(L"Manifest Client.txt lists no files: it is empty or its first line is blank");
        return false;
    }
    return true;
}
