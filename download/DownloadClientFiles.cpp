#include "download/DownloadClientFiles.h"

#include "core/DotNetClient.h"
#include "core/SetupMessages.h"
#include "download/CancelRequest.h"
#include "download/ClientFileEntry.h"
#include "download/DiskRoom.h"
#include "download/DownloadFile.h"
#include "download/DownloadLog.h"
#include "download/FailureDetail.h"
#include "download/MD5Checksum.h"
#include "download/ServerList.h"
#include "download/SignedListCheck.h"
#include "framework/File.h"
#include "framework/FileSystem.h"
#include "framework/FormatText.h"
#include "framework/LogFile.h"
#include "framework/StdioFile.h"
#include "framework/SystemErrorText.h"

#include <string>
#include <vector>

namespace {

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

// A signed list is a few hundred bytes a file; a server that sends more
// than this is not sending one.
constexpr ULONGLONG kSignedListMaxBytes = 8 * 1024 * 1024;

std::wstring Number(ULONGLONG value)
{
    wchar_t text[24] = {};
    FormatText(text, 24, L"%I64u", value);
    return text;
}

// A file of the signed list is current when its size and SHA-256 are the
// listed ones; both sides go to the log. length is the local file's size.
bool IsCurrent(const std::wstring& path, const SignedFileEntry& entry, ULONGLONG& length)
{
    Sha256Digest local{};
    length = 0;
    const bool read = Sha256OfFile(path.c_str(), local, length);
    const bool same = read && length == entry.size && local == entry.sha256;
    const std::wstring localText = read ? Number(length) + L" bytes, SHA-256 " + HexText(local) : L"(none)";
    LogLine(L"%ls: local %ls, listed %I64u bytes, SHA-256 %ls: %ls", path.c_str(), localText.c_str(), entry.size,
            HexText(entry.sha256).c_str(), same ? L"kept" : L"fetch");
    return same;
}

// The whole signed list as its bytes, read once: what is checked is what is used.
bool ReadWholeFile(const std::wstring& path, std::string& bytes)
{
    CFile file;
    ULONGLONG length = 0;
    if (!file.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite | CFile::typeBinary) ||
        !file.GetLength(length) || length > kSignedListMaxBytes)
        return false;
    bytes.assign(static_cast<size_t>(length), '\0');
    UINT got = 0;
    return length == 0 || (file.Read(bytes.data(), static_cast<UINT>(length), got) && got == length);
}

// A file that the run leaves behind as a refused list is no record of anything.
void RemoveReadOnlyFile(const std::wstring& path)
{
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(path.c_str());
}

enum class SignedListState { Verified, NotOnServer, Refused, Failed };

// Asks for the signed list and checks it. Refused fills refusal (and
// webPage, when what came is a web page: a network that answers every
// request with its login page); Failed is a download that did not succeed
// (the network, the disk, a cancel).
SignedListState FetchSignedList(const std::wstring& url, const std::wstring& folder, HWND window,
                                const volatile LONG* cancel, const DownloadTimings& timings,
                                const DownloadTrust& trust, DownloadFailure& failure, SignedFileList& list,
                                TrustRefusal& refusal, bool& webPage, ServerList& servers)
{
    const bool keyed = trust.keyState == PublisherKeyState::Present;
    const std::wstring path = folder + L"Client.signed";
    DownloadOptions options;
    options.name = L"Client.signed";
    options.timings = timings;
    options.maxLength = kSignedListMaxBytes;
    options.notFoundExpected = !keyed;
    options.servers = &servers;
    DownloadReport report;
    options.report = &report;
    DownloadFailure transfer;
    if (DownloadFile(path.c_str(), url.c_str(), window, cancel, options, &transfer) == 0) {
        if (CancelRequested(cancel))
            return SignedListState::Failed;
        if (report.status == 404)
            return SignedListState::NotOnServer;
        if (report.mismatch) {
            refusal = Refuse(SETUP_ERR_DAMAGED_LIST, L"list size", report.expected, report.received);
            return SignedListState::Refused;
        }
        // Why nothing came (the network, the server, a login, the disk).
        failure = transfer;
        return SignedListState::Failed;
    }

    std::string document;
    if (!ReadWholeFile(path, document)) {
        LogError(L"%ls: the signed list cannot be read back: %ls", path.c_str(), SystemErrorText(::GetLastError()).c_str());
        return SignedListState::Failed;
    }
    // A server from before signed lists may answer any request with its
    // plain list: without a key that is a server without a signed list.
    if (!keyed && document.compare(0, 27, "format qxt-signed-file-list") != 0) {
        LogLine(L"%ls: not a signed file list; the plain list is used", url.c_str());
        RemoveReadOnlyFile(path);
        return SignedListState::NotOnServer;
    }

    SignedListPolicy policy;
    policy.key = keyed ? &trust.key : nullptr;
    policy.now = trust.now != 0 ? trust.now : UtcSecondsNow();
    policy.acceptedVersion = keyed ? trust.acceptedVersion : 0;
    refusal = CheckSignedFileList(document, policy, list);
    if (refusal) {
        const size_t lineEnd = document.find_first_of("\r\n");
        const std::string first = document.substr(0, lineEnd);
        webPage = LooksLikeWebPage(TrimManifestWhiteSpace(std::wstring(first.begin(), first.end())));
        RemoveReadOnlyFile(path);
        return SignedListState::Refused;
    }
    LogLine(L"Signed file list: version %I64u, expires %ls, %u files, %ls", list.version,
            UtcTimeText(list.expires).c_str(), static_cast<unsigned>(list.files.size()),
            keyed ? (L"signature good by the publisher's key " + HexText(trust.key.data(), trust.key.size())).c_str()
                  : L"signature not checked (the program carries no key)");
    return SignedListState::Verified;
}

// One file of the list as the loop takes it up: from Client.txt with its MD5,
// or from the signed list with its size and SHA-256.
struct ListedFile {
    std::wstring name;
    std::wstring md5;
    const SignedFileEntry* signedEntry = nullptr;
};

// The plain list Client.txt: fetched into the install folder and read whole
// (the number of entries goes out with the first one; a damaged line ends
// the download before any file is touched). False when it cannot be
// fetched, read or used, or on a cancel.
bool ReadPlainList(const std::wstring& url, const std::wstring& folder, HWND window, const volatile LONG* cancel,
                   const DownloadTimings& timings, DownloadFailure* reason, std::vector<ListedFile>& entries,
                   ServerList& servers)
{
    const std::wstring manifestPath = folder + L"Client.txt";
    DownloadOptions manifestOptions;
    manifestOptions.name = L"Client.txt";
    manifestOptions.timings = timings;
    manifestOptions.servers = &servers;
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

// What a listed file in the install folder was when the run read it.
struct LocalCopy {
    bool current = false;
    ULONGLONG length = 0;  // its length then
    FILETIME written{};    // its last write then
    ULONGLONG held = 0;    // what an earlier transfer left in its temporary file
};

bool ReadAttributes(const std::wstring& path, ULONGLONG& length, FILETIME& written)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return false;
    length = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    written = data.ftLastWriteTime;
    return true;
}

// Reads the file in place and decides whether it is current, with the
// decision in the log. An unreadable local file cannot be shown to be
// current, so it is fetched again, just like a missing one.
LocalCopy Examine(const std::wstring& localPath, const ListedFile& entry)
{
    LocalCopy copy;
    FILETIME unused{};
    if (!ReadAttributes(localPath + L".tmp", copy.held, unused))
        copy.held = 0;
    if (!FileExists(localPath.c_str())) {
        if (entry.signedEntry)
            LogLine(L"%ls: local (none), listed %I64u bytes, SHA-256 %ls: fetch", localPath.c_str(),
                    entry.signedEntry->size, HexText(entry.signedEntry->sha256).c_str());
        else
            LogFileDecision(localPath, L"", entry.md5, false);
        return copy;
    }
    ReadAttributes(localPath, copy.length, copy.written);
    if (entry.signedEntry) {
        ULONGLONG length = 0;
        copy.current = IsCurrent(localPath, *entry.signedEntry, length);
        copy.length = length;
    }
    else
        copy.current = IsCurrent(localPath, entry.md5);
    return copy;
}

// Whether the file still has the length and last write it had when it was read.
bool Unchanged(const std::wstring& path, const LocalCopy& copy)
{
    ULONGLONG length = 0;
    FILETIME written{};
    return ReadAttributes(path, length, written) && length == copy.length &&
           ::CompareFileTime(&written, &copy.written) == 0;
}

// Whether the files still to fetch fit on the install folder's volume; the
// log tells both sizes either way. A volume whose free space cannot be told
// is not refused: the transfers find out.
bool RoomForFetches(const std::wstring& folder, const std::vector<ListedFile>& entries,
                    const std::vector<LocalCopy>& copies, DownloadFailure& failure)
{
    ULONGLONG needed = 0;
    unsigned fetches = 0;
    for (size_t i = 0; i < entries.size(); ++i)
        if (!copies[i].current) {
            needed += RoomStillNeeded(entries[i].signedEntry->size, copies[i].held);
            ++fetches;
        }
    if (fetches == 0)
        return true;
    ULONGLONG available = 0;
    if (!FreeSpaceFor(folder.c_str(), available)) {
        LogError(L"Free space on the volume of %ls cannot be told: %ls", folder.c_str(),
                 SystemErrorText(::GetLastError()).c_str());
        return true;
    }
    if (needed <= available) {
        LogLine(L"Room on the disk for %u files to fetch: %I64u bytes needed, %I64u bytes free on the volume of %ls",
                fetches, needed, available, folder.c_str());
        return true;
    }
    LogError(L"No room on the disk for %u files to fetch: %I64u bytes needed, %I64u bytes free on the volume of %ls",
             fetches, needed, available, folder.c_str());
    failure.detail = NoRoomLine(needed, available);
    return false;
}

// The line the error box adds for a check that refused.
std::wstring RefusalLine(const TrustRefusal& refusal, const std::wstring& name)
{
    switch (refusal.code) {
    case SETUP_ERR_BAD_SIGNATURE: return L"文件列表的签名无效，不是发布者签署的。";
    case SETUP_ERR_DAMAGED_LIST: return L"文件列表已损坏或格式未知。";
    case SETUP_ERR_EXPIRED_LIST: return L"文件列表已过期。";
    case SETUP_ERR_OLDER_LIST: return L"文件列表比本机以前接受的版本旧。";
    case SETUP_ERR_FILE_MISMATCH: return L"文件 " + name + L" 的大小或 SHA-256 与文件列表不符。";
    case SETUP_ERR_NO_SIGNED_LIST: return L"服务器没有签名的文件列表。";
    default: return {};
    }
}

// Ends the run on a refusal: the log names the check with both values.
BOOL Refuse(const TrustRefusal& refusal, const wchar_t* what, DownloadFailure& failure,
            const std::wstring& name = {})
{
    LogError(L"%ls refused: %ls", what, DescribeRefusal(refusal).c_str());
    failure.code = refusal.code;
    failure.detail = RefusalLine(refusal, name);
    return 0;
}

}  // namespace

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

    // A key slot that is not as the build and the publisher's tool leave it
    // cannot say which key to trust: nothing is fetched.
    if (trust.keyState == PublisherKeyState::Damaged)
        return Refuse(Refuse(SETUP_ERR_BAD_SIGNATURE, L"publisher key",
                              L"the key slot as the build makes it (96 bytes after its marker)",
                              L"a slot of another size or marker"),
                      L"Publisher key", outcome);
    const bool keyed = trust.keyState == PublisherKeyState::Present;

    // Each request goes to the server current at the time: a failed one is left for the rest of the run.
    const std::wstring listQuery = std::wstring(L"files&dotnet=") + (DotNetClientInstalled() ? L"1" : L"0");
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
        Refuse(refusal, L"Signed file list", outcome);
        // The list is refused all the same; the box says what the user can do about it.
        if (webPage)
            outcome.detail = LoginPageDetail();
        return 0;
    case SignedListState::Failed:
        return 0;
    case SignedListState::NotOnServer:
        if (keyed)
            return Refuse(Refuse(SETUP_ERR_NO_SIGNED_LIST, L"signed list",
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
    std::vector<LocalCopy> copies;
    copies.reserve(entries.size());
    for (const ListedFile& entry : entries) {
        if (CancelRequested(cancel)) {
            ::Sleep(kCancelPauseMs);
            return 0;
        }
        copies.push_back(Examine(folder + entry.name, entry));
    }
    // With the sizes listed, a disk too small is found before the first byte
    // rather than by a failed write.
    if (useSigned && !RoomForFetches(folder, entries, copies, outcome))
        return 0;

    const WPARAM count = entries.size();
    for (WPARAM number = 1; number <= count; ++number) {
        if (CancelRequested(cancel)) {
            ::Sleep(kCancelPauseMs);
            return 0;
        }
        const ListedFile& entry = entries[number - 1];
        SendText(window, WM_SETUP_STATUS_TEXT, L"正在校验..." + entry.name);
        ::SendMessageW(window, WM_DOWNLOAD_FILE_INDEX, number, count);

        const std::wstring localPath = folder + entry.name;
        LocalCopy& copy = copies[number - 1];
        // A file that changed since it was read (an earlier entry naming the
        // same file in another case) is read again.
        if (copy.current && !Unchanged(localPath, copy))
            copy = Examine(localPath, entry);
        if (copy.current) {
            info.EstimatedSize += copy.length;
            ::SendMessageW(window, WM_DOWNLOAD_PROGRESS, 100, 100);
            continue;
        }

        SendText(window, WM_SETUP_STATUS_TEXT, L"正在下载..." + entry.name);
        const std::wstring fileUrl = servers.RequestBase() + entry.name;
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
        options.timings = timings;
        options.servers = &servers;
        DownloadReport report;
        options.report = &report;
        const ULONGLONG length = DownloadFile(localPath.c_str(), fileUrl.c_str(), window, cancel, options, &outcome);
        if (length == 0) {
            const std::wstring failure = L"正在下载..." + entry.name + L" : 失败!";
            SendText(window, WM_SETUP_STATUS_TEXT, failure);
            SendText(window, WM_DOWNLOAD_FAILED, failure);
            if (entry.signedEntry && report.mismatch && !CancelRequested(cancel))
                return Refuse(Refuse(SETUP_ERR_FILE_MISMATCH, L"file", report.expected + L" for " + entry.name,
                                      report.received),
                              L"File", outcome, entry.name);
            return 0;
        }
        info.EstimatedSize += length;
    }

    if (keyed && listVersion)
        *listVersion = signedList.version;
    if (listHost)
        *listHost = listServer;
    ::SendMessageW(window, WM_DOWNLOAD_COMPLETE, 0, 0);
    return 1;
}
