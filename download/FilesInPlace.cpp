#include "download/FilesInPlace.h"

#include "download/RunThreads.h"
#include "download/StatusText.h"
#include "core/SetupMessages.h"
#include "transfer/CancelRequest.h"
#include "transfer/DownloadLog.h"
#include "trust/MD5Checksum.h"
#include "framework/FileSystem.h"
#include "framework/FormatText.h"
#include "framework/LogFile.h"
#include "framework/WorkerThreads.h"

#include <map>

namespace {

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

ULONGLONG LengthOf(const std::wstring& path)
{
    ULONGLONG length = 0;
    FILETIME written{};
    return FileLengthAndWrite(path.c_str(), length, written) ? length : 0;
}

}  // namespace

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
