#include "download/DownloadClientFiles.h"

#include "core/DotNetClient.h"
#include "core/SetupMessages.h"
#include "download/CancelRequest.h"
#include "download/ClientFileEntry.h"
#include "download/DownloadFile.h"
#include "download/DownloadLog.h"
#include "download/FailureDetail.h"
#include "download/MD5Checksum.h"
#include "download/ServerAddress.h"
#include "framework/File.h"
#include "framework/FileSystem.h"
#include "framework/LogFile.h"
#include "framework/StdioFile.h"

#include <string>
#include <vector>

namespace {

constexpr DWORD kCurrentFilePauseMs = 500;  // lets the user see each kept file go by

void SendText(HWND window, UINT message, const std::wstring& text)
{
    ::SendMessageW(window, message, reinterpret_cast<WPARAM>(&text), 0);
}

// A manifest saved with a UTF-8 byte-order mark: the mark is not part of the first name.
void SkipByteOrderMark(std::wstring& line)
{
    if (line.size() >= 3 && line[0] == 0xEF && line[1] == 0xBB && line[2] == 0xBF)
        line.erase(0, 3);
}

// Whether the local copy is current, with both digests in the log. An
// unreadable file has no digest, so it is not current.
bool IsCurrent(const std::wstring& path, const std::wstring& digest)
{
    const std::wstring local = CMD5Checksum::DigestFile(path.c_str());
    const bool same =
        !local.empty() && ::CompareStringOrdinal(local.c_str(), -1, digest.c_str(), -1, TRUE) == CSTR_EQUAL;
    LogFileDecision(path, local, digest, same);
    return same;
}

}  // namespace

BOOL DownloadClientFiles(const wchar_t* host, const volatile LONG* cancel, HWND window,
                         InstallInfo& info, const DownloadTimings& timings, DownloadFailure* reason)
{
    if (reason)
        *reason = DownloadFailure{};
    ServerAddress server;
    if (!ParseServerAddress(host, server)) {
        LogError(L"Server host \"%ls\" is none of host[:port], http://host[:port] and https://host[:port]", host);
        return 0;
    }
    const std::wstring folder = InstallFilePath(info, L"");
    if (DirectoryExists(folder.c_str()) == DirectoryState::Missing)
        CreateDirectoryTree(folder.c_str());

    const std::wstring baseUrl = DownloadRequestBase(server);
    ::SendMessageW(window, WM_DOWNLOAD_BEGIN, 0, 0);

    const std::wstring manifestUrl = baseUrl + L"files&dotnet=" + (DotNetClientInstalled() ? L"1" : L"0");
    const std::wstring manifestPath = folder + L"Client.txt";
    DownloadOptions manifestOptions;
    manifestOptions.name = L"Client.txt";
    manifestOptions.timings = timings;
    if (DownloadFile(manifestPath.c_str(), manifestUrl.c_str(), window, cancel, manifestOptions, reason) == 0)
        return 0;

    // The whole list first: the number of entries goes out with the first
    // one, and a damaged line ends the download before any file is touched.
    std::vector<ClientFileEntry> entries;
    {
        CStdioFile manifest;
        if (!manifest.Open(manifestPath.c_str(), CStdioFile::typeText | CFile::modeRead))
            return 0;
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
                return 0;
            }
            ClientFileEntry entry = ParseClientFileEntry(line);
            if (const wchar_t* problem = ClientFileEntryProblem(entry)) {
                LogError(L"Manifest Client.txt, line %u is damaged (%ls): %ls",
                         static_cast<unsigned>(entries.size() + 1), problem, EscapeLogText(line).c_str());
                // A network that answers every request with its login page.
                if (reason && entries.empty() && LooksLikeWebPage(line))
                    reason->detail = LoginPageDetail();
                return 0;
            }
            entries.push_back(std::move(entry));
        }
        if (manifest.Failed())
            return 0;
        manifest.Close();
    }
    // An empty list would leave the install folder without a client and the
    // run would only notice at the first installer.
    if (entries.empty()) {
        LogError(L"Manifest Client.txt lists no files: it is empty or its first line is blank");
        return 0;
    }

    const WPARAM count = entries.size();
    for (WPARAM number = 1; number <= count; ++number) {
        if (CancelRequested(cancel)) {
            ::Sleep(kCancelPauseMs);
            return 0;
        }
        const ClientFileEntry& entry = entries[number - 1];
        SendText(window, WM_SETUP_STATUS_TEXT, L"正在校验..." + entry.name);
        ::SendMessageW(window, WM_DOWNLOAD_FILE_INDEX, number, count);

        const std::wstring localPath = folder + entry.name;
        // An unreadable local file cannot be shown to be current, so it is
        // fetched again, just like a missing one.
        if (FileExists(localPath.c_str()) && IsCurrent(localPath, entry.digest)) {
            CFile kept;
            if (kept.Open(localPath.c_str(), CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary)) {
                ULONGLONG length = 0;
                if (kept.GetLength(length))
                    info.EstimatedSize += length;
                kept.Close();
            }
            ::SendMessageW(window, WM_DOWNLOAD_PROGRESS, 100, 100);
            ::Sleep(kCurrentFilePauseMs);
            continue;
        }

        if (!FileExists(localPath.c_str()))
            LogFileDecision(localPath, L"", entry.digest, false);
        SendText(window, WM_SETUP_STATUS_TEXT, L"正在下载..." + entry.name);
        const std::wstring fileUrl = baseUrl + entry.name;
        DownloadOptions options;
        // A real digest, checked with the list: only then may a part left by
        // an earlier run be joined to the rest.
        options.expectedDigest = entry.digest.c_str();
        options.name = entry.name.c_str();
        options.timings = timings;
        const ULONGLONG length =
            DownloadFile(localPath.c_str(), fileUrl.c_str(), window, cancel, options, reason);
        if (length == 0) {
            const std::wstring failure = L"正在下载..." + entry.name + L" : 失败!";
            SendText(window, WM_SETUP_STATUS_TEXT, failure);
            SendText(window, WM_DOWNLOAD_FAILED, failure);
            return 0;
        }
        info.EstimatedSize += length;
    }

    ::SendMessageW(window, WM_DOWNLOAD_COMPLETE, 0, 0);
    return 1;
}
