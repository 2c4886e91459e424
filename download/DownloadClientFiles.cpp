#include "download/DownloadClientFiles.h"

#include "core/DotNetClient.h"
#include "core/SetupMessages.h"
#include "download/DiskRoom.h"
#include "download/DownloadProgress.h"
#include "download/EarlierListReadAhead.h"
#include "download/FetchStage.h"
#include "download/FilesInPlace.h"
#include "download/PlainListFetch.h"
#include "download/RefusalReport.h"
#include "download/RunThreads.h"
#include "download/SignedListFetch.h"
#include "transfer/FailureDetail.h"
#include "transfer/ProxyLogin.h"
#include "transfer/ServerList.h"
#include "framework/FileSystem.h"
#include "framework/LogFile.h"

#include <string>
#include <vector>

BOOL DownloadClientFiles(const wchar_t* host, const volatile LONG* cancel, HWND window, InstallInfo& info,
                         const DownloadTimings& timings, DownloadFailure* reason, const DownloadTrust& trust,
                         ULONGLONG* listVersion, std::wstring* listHost)
{
    DownloadFailure unused;
    DownloadFailure& outcome = reason ? *reason : unused;
    outcome = DownloadFailure{};
    if (listVersion)
        *listVersion = 0;
    ServerList servers;
    if (!servers.Parse(host)) {
        LogError(L"Server host \"%ls\" is none of host[:port], http://host[:port] and https://host[:port] "
                 L"(nor several of them, separated by commas)",
                 EscapeLogText(host).c_str());
        return 0;
    }
    const std::wstring folder = InstallFilePath(info, L"");
    CreateMissingFolder(folder.c_str());

    ::SendMessageW(window, WM_DOWNLOAD_BEGIN, 0, 0);
    // A proxy login declined in an earlier run is asked for again.
    ForgetProxyLoginDecline();
    // The bar and the counter from here to the end of the run.
    DownloadProgress progress(window);

    // A key slot that is not as the build and the publisher's tool leave it
    // cannot say which key to trust: nothing is fetched.
    if (trust.keyState == PublisherKeyState::Damaged)
        return ReportRefusal(Refuse(SETUP_ERR_BAD_SIGNATURE, L"publisher key",
                              L"the key slot as the build makes it (96 bytes after its marker)",
                              L"a slot of another size or marker"),
                      L"Publisher key", outcome);
    const bool keyed = trust.keyState == PublisherKeyState::Present;

    // Each request goes to the server current at the time: a failed one is left for the rest of the run.
    const std::wstring listQuery = std::wstring(L"files&dotnet=") + (DotNetClientInstalled() ? L"1" : L"0");
    // While the list is on its way, the files the last one named are read.
    const unsigned transfers = timings.transfers != 0 ? timings.transfers : 1;
    const unsigned readers = transfers < ProcessorCount() ? transfers : ProcessorCount();
    EarlierListReadAhead readAhead(folder, readers);
    SignedFileList signedList;
    TrustRefusal refusal;
    bool webPage = false;
    bool useSigned = false;
    switch (FetchSignedList(servers.RequestBase() + listQuery + L"&signed=1", folder, window, cancel, timings, trust,
                            outcome, signedList, refusal, webPage, servers)) {
    case SignedListState::Verified:
        useSigned = true;
        break;
    case SignedListState::Refused:
        ReportRefusal(refusal, L"Signed file list", outcome);
        // The list is refused all the same; the box says what the user can do about it.
        if (webPage)
            outcome.detail = LoginPageDetail();
        return 0;
    case SignedListState::Failed:
        return 0;
    case SignedListState::NotOnServer:
        if (keyed)
            return ReportRefusal(Refuse(SETUP_ERR_NO_SIGNED_LIST, L"signed list",
                                  L"a signed file list at " + servers.RequestBase() + listQuery + L"&signed=1", L"status 404"),
                          L"Signed file list", outcome);
        break;
    }

    std::vector<ListedFile> entries;
    if (useSigned) {
        // An empty list would leave nothing to install: it is a failed download.
        if (signedList.files.empty()) {
            LogError(L"The signed file list names no file");
            return 0;
        }
        for (const SignedFileEntry& file : signedList.files) {
            ListedFile entry;
            entry.name = file.name;
            entry.signedEntry = &file;
            entries.push_back(std::move(entry));
        }
    }
    else if (!ReadPlainList(servers.RequestBase() + listQuery, folder, window, cancel, timings, &outcome, entries,
                            servers))
        return 0;
    // The whole list came from this server; the files may come from later ones.
    const std::wstring listServer = servers.Current().host;

    // Every file in place is read before the first transfer: the run then
    // knows what it must fetch (and how much room that takes) up front.
    const std::vector<std::vector<size_t>> groups = GroupBySameFile(entries);
    std::vector<LocalCopy> copies(entries.size());
    readAhead.Finish();
    if (!ExamineFilesInPlace(folder, entries, groups, readAhead, copies, readers, window, cancel))
        return 0;
    // With the sizes listed, a disk too small is found before the first byte
    // rather than by a failed write.
    if (useSigned && !RoomForFetches(folder, entries, copies, outcome))
        return 0;

    std::vector<FileOutcome> outcomes(entries.size());
    const bool fetched = FetchFiles(folder, entries, groups, readAhead, copies, transfers, useSigned, servers,
                                    timings, window, cancel, progress, outcomes, outcome);
    // What is in place counts, whether the run succeeds or not.
    for (const FileOutcome& file : outcomes)
        if (file.done)
            info.EstimatedSize += file.length;
    if (!fetched)
        return 0;

    if (keyed && listVersion)
        *listVersion = signedList.version;
    if (listHost)
        *listHost = listServer;
    ::SendMessageW(window, WM_DOWNLOAD_COMPLETE, 0, 0);
    return 1;
}
