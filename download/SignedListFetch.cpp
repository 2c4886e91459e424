#include "download/SignedListFetch.h"

#include "transfer/CancelRequest.h"
#include "transfer/DownloadFile.h"
#include "transfer/FailureDetail.h"
#include "transfer/ProgressSink.h"
#include "transfer/ServerList.h"
#include "trust/ClientFileEntry.h"
#include "trust/SignedListCheck.h"
#include "framework/File.h"
#include "framework/LogFile.h"
#include "framework/SystemErrorText.h"

namespace {

// A signed list is a few hundred bytes a file; a server that sends more
// than this is not sending one.
constexpr ULONGLONG kSignedListMaxBytes = 8 * 1024 * 1024;

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

}  // namespace

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
    // The bar shows the files, once the list has said what they are.
    NoProgress noBar;
    options.progress = &noBar;
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
