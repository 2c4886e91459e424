#include "download/DownloadClientFiles.h"

#include "core/DotNetClient.h"
#include "core/SetupMessages.h"
#include "download/CancelRequest.h"
#include "download/ClientFileEntry.h"
#include "download/DiskRoom.h"
#include "download/DownloadFile.h"
#include "download/DownloadLog.h"
#include "download/DownloadProgress.h"
#include "download/EarlierListReadAhead.h"
#include "download/FailureDetail.h"
#include "download/MD5Checksum.h"
#include "download/ServerList.h"
#include "download/SignedListCheck.h"
#include "framework/File.h"
#include "framework/FileSystem.h"
#include "framework/InternetSession.h"
#include "framework/FormatText.h"
#include "framework/LogFile.h"
#include "framework/StdioFile.h"
#include "framework/SystemErrorText.h"
#include "framework/WorkerThreads.h"

#include <map>
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

// Whether the local copy is current; decision gets the log's line with both
// digests. An unreadable file has no digest, so it is not current.
bool IsCurrent(const std::wstring& path, const std::wstring& digest, std::wstring& decision)
{
    const std::wstring local = CMD5Checksum::DigestFile(path.c_str());
    const bool same =
        !local.empty() && ::CompareStringOrdinal(local.c_str(), -1, digest.c_str(), -1, TRUE) == CSTR_EQUAL;
    decision = FileDecisionText(path, local, digest, same);
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
// listed ones; decision gets the log's line with both sides. length is the
// local file's size. A digest read ahead of the list, of the file as it
// still is, is not read again.
bool IsCurrent(const std::wstring& path, const SignedFileEntry& entry, const EarlierListReadAhead& readAhead,
               ULONGLONG& length, std::wstring& decision)
{
    Sha256Digest local{};
    length = 0;
    const bool read = readAhead.Digest(entry.name, local, length) || Sha256OfFile(path.c_str(), local, length);
    const bool same = read && length == entry.size && local == entry.sha256;
    const std::wstring localText = read ? Number(length) + L" bytes, SHA-256 " + HexText(local) : L"(none)";
    decision = path + L": local " + localText + L", listed " + Number(entry.size) + L" bytes, SHA-256 " +
               HexText(entry.sha256) + (same ? L": kept" : L": fetch");
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
    bool examined = false;  // read before the first transfer
    bool current = false;
    ULONGLONG length = 0;   // its length then
    ULONGLONG held = 0;     // what an earlier transfer left in its temporary file
    std::wstring decision;  // the log's line
};

ULONGLONG LengthOf(const std::wstring& path)
{
    ULONGLONG length = 0;
    FILETIME written{};
    return FileLengthAndWrite(path.c_str(), length, written) ? length : 0;
}

// Reads the file in place and decides whether it is current. An unreadable
// local file cannot be shown to be current, so it is fetched again, just
// like a missing one.
LocalCopy Examine(const std::wstring& localPath, const ListedFile& entry, const EarlierListReadAhead& readAhead)
{
    LocalCopy copy;
    copy.examined = true;
    copy.held = LengthOf(localPath + L".tmp");
    if (!FileExists(localPath.c_str())) {
        copy.decision = entry.signedEntry ? localPath + L": local (none), listed " + Number(entry.signedEntry->size) +
                                                L" bytes, SHA-256 " + HexText(entry.signedEntry->sha256) + L": fetch"
                                          : FileDecisionText(localPath, L"", entry.md5, false);
        return copy;
    }
    if (entry.signedEntry)
        copy.current = IsCurrent(localPath, *entry.signedEntry, readAhead, copy.length, copy.decision);
    else {
        copy.length = LengthOf(localPath);
        copy.current = IsCurrent(localPath, entry.md5, copy.decision);
    }
    return copy;
}

// The list's entries by the file they name: each group holds the entries of
// one file in list order, and the groups are in the order of their first
// entry. Only the first entry of a group is read ahead; the others are taken
// up after it, when the file may have changed.
std::vector<std::vector<size_t>> GroupBySameFile(const std::vector<ListedFile>& entries)
{
    std::vector<std::vector<size_t>> groups;
    std::map<std::wstring, size_t> groupOf;
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto [found, added] = groupOf.emplace(FileNameKey(entries[i].name), groups.size());
        if (added)
            groups.emplace_back();
        groups[found->second].push_back(i);
    }
    return groups;
}

// The stack each reading or transfer thread reserves: they wait, read and
// hash with buffers on the heap, and several run at once.
constexpr SIZE_T kThreadStackBytes = 256 * 1024;

unsigned ProcessorCount()
{
    SYSTEM_INFO system{};
    ::GetSystemInfo(&system);
    return system.dwNumberOfProcessors != 0 ? system.dwNumberOfProcessors : 1;
}

// Reads the first entry of every group on up to threads threads at once (a
// digest is bound by the processor), each taken up with its status line;
// the decisions go to the log in list order. False on a cancel.
bool ExamineFilesInPlace(const std::wstring& folder, const std::vector<ListedFile>& entries,
                         const std::vector<std::vector<size_t>>& groups, const EarlierListReadAhead& readAhead,
                         std::vector<LocalCopy>& copies, unsigned threads, HWND window, const volatile LONG* cancel)
{
    volatile LONG next = 0;
    const auto work = [&] {
        for (;;) {
            if (CancelRequested(cancel))
                return;
            const size_t group = static_cast<size_t>(::InterlockedIncrement(&next) - 1);
            if (group >= groups.size())
                return;
            const size_t i = groups[group].front();
            SendText(window, WM_SETUP_STATUS_TEXT, L"正在校验..." + entries[i].name);
            copies[i] = Examine(folder + entries[i].name, entries[i], readAhead);
        }
    };
    if (threads <= 1 || groups.size() <= 1)
        work();
    else
        RunOnThreads(threads < groups.size() ? threads : static_cast<unsigned>(groups.size()), work, kThreadStackBytes);
    if (CancelRequested(cancel)) {
        ::Sleep(kCancelPauseMs);
        return false;
    }
    for (const LocalCopy& copy : copies)
        if (copy.examined)
            LogLine(L"%ls", copy.decision.c_str());
    return true;
}

// Whether the files still to fetch fit on the install folder's volume; the
// log tells both sizes either way. A volume whose free space cannot be told
// is not refused: the transfers find out. (A file named twice counts once:
// its later entries are read only when their turn comes.)
bool RoomForFetches(const std::wstring& folder, const std::vector<ListedFile>& entries,
                    const std::vector<LocalCopy>& copies, DownloadFailure& failure)
{
    ULONGLONG needed = 0;
    unsigned fetches = 0;
    for (size_t i = 0; i < entries.size(); ++i)
        if (copies[i].examined && !copies[i].current) {
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

// How one entry ended in the transfer stage.
struct FileOutcome {
    bool done = false;       // in place: kept or fetched
    bool failed = false;     // its transfer failed (not stopped)
    bool stopped = false;    // its transfer stopped for a cancel or another's failure
    ULONGLONG length = 0;    // its length, when done
    DownloadFailure failure; // why it failed
    DownloadReport report;
};

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
        TransferProgress share{&m_progress};
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

// Brings every entry that is not current into place. What the user sees of
// a failure is the first failing entry in list order, whichever transfer
// failed first; a cancel shows as the failure of the first entry it stopped.
bool FetchFiles(const std::wstring& folder, const std::vector<ListedFile>& entries,
                const std::vector<std::vector<size_t>>& groups, const EarlierListReadAhead& readAhead,
                std::vector<LocalCopy>& copies, unsigned transfers,
                bool useSigned, ServerList& servers, const DownloadTimings& timings, HWND window,
                const volatile LONG* cancel, std::vector<FileOutcome>& outcomes, DownloadFailure& result)
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
    DownloadProgress progress(window, totalBytes, entries.size());
    progress.Begin(keptFiles, keptBytes);
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
                Refuse(Refuse(SETUP_ERR_FILE_MISMATCH, L"file", file.report.expected + L" for " + entries[i].name,
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
                                    timings, window, cancel, outcomes, outcome);
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
