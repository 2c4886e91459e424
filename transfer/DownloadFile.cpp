#include "transfer/DownloadFile.h"

#include "core/SetupMessages.h"
#include "transfer/CancelRequest.h"
#include "transfer/DownloadLog.h"
#include "transfer/FailureDetail.h"
#include "transfer/HttpAttempt.h"
#include "transfer/ProxyLogin.h"
#include "core/ProxyLoginRequest.h"
#include "transfer/ServerList.h"
#include "framework/FileSystem.h"
#include "framework/FormatText.h"
#include "framework/LogFile.h"
#include "framework/ParseUrl.h"
#include "framework/SrwGuard.h"

#include <string>

namespace {

// What an earlier attempt left in the temporary file; 0 for none.
ULONGLONG HeldLength(const std::wstring& path)
{
    ULONGLONG length = 0;
    FILETIME written{};
    return FileLengthAndWrite(path.c_str(), length, written) ? length : 0;
}

// The pause before a retry; false as soon as the user cancels or the run
// stops its transfers.
bool PauseUnlessCancelled(DWORD milliseconds, const volatile LONG* cancel, const volatile LONG* stop)
{
    constexpr ULONGLONG kPollMs = 50;
    const ULONGLONG end = ::GetTickCount64() + milliseconds;
    for (;;) {
        if (CancelRequested(cancel) || CancelRequested(stop))
            return false;
        const ULONGLONG now = ::GetTickCount64();
        if (now >= end)
            return true;
        ::Sleep(static_cast<DWORD>(end - now < kPollMs ? end - now : kPollMs));
    }
}

std::wstring FileName(const wchar_t* path)
{
    const std::wstring whole(path);
    const size_t slash = whole.find_last_of(L"\\/");
    return slash == std::wstring::npos ? whole : whole.substr(slash + 1);
}

// Points the request at url, which names its server.
bool AimAt(AttemptRequest& request, const std::wstring& url)
{
    DWORD serviceType = 0;
    if (!AfxParseURL(url.c_str(), serviceType, request.server, request.object, request.port) ||
        (serviceType != AFX_INET_SERVICE_HTTP && serviceType != AFX_INET_SERVICE_HTTPS))
        return false;
    request.url = url;
    request.secure = serviceType == AFX_INET_SERVICE_HTTPS;
    return true;
}

// The server failed for good: the next one of the run takes the request over
// with retries of its own, from what the temporary file holds.
bool MoveToNextServer(AttemptRequest& request, ServerList* servers)
{
    std::wstring url = request.url;
    if (!servers || !servers->MoveOn(url) || !AimAt(request, url))
        return false;
    request.retry = 0;
    return true;
}

void ShowRetry(HWND window, const std::wstring& name, DWORD retry)
{
    wchar_t count[32] = {};
    FormatText(count, 32, L" (%lu/%lu)", static_cast<unsigned long>(retry),
               static_cast<unsigned long>(DownloadTimings::kRetries));
    const std::wstring text = L"正在重试..." + name + count;
    ::SendMessageW(window, WM_SETUP_STATUS_TEXT, reinterpret_cast<WPARAM>(&text), 0);
}

// The bytes free on the disk that holds path's folder; 0 when unknown.
ULONGLONG FreeBytesBeside(const wchar_t* path)
{
    std::wstring folder(path);
    const size_t slash = folder.find_last_of(L"\\/");
    folder.erase(slash == std::wstring::npos ? 0 : slash + 1);
    ULARGE_INTEGER free{};
    if (folder.empty() || !::GetDiskFreeSpaceExW(folder.c_str(), &free, nullptr, nullptr))
        return 0;
    return free.QuadPart;
}

// Says why the download failed, after the temporary file has gone (so that
// a full disk shows the space there is for the whole file).
void NoteFailure(DownloadFailure* failure, const AttemptResult& result, const std::wstring& name,
                 const wchar_t* destination, bool loginRefused = false)
{
    if (!failure)
        return;
    FailedTransfer transfer;
    transfer.loginRefused = loginRefused;
    transfer.outcome = result.outcome;
    transfer.status = result.status;
    transfer.error = result.outcome == Attempt::CertificateRefused ? result.certificateError : result.error;
    transfer.name = name;
    if (result.outcome == Attempt::LocalFailure && IsDiskFull(transfer.error)) {
        transfer.needed = result.total;
        transfer.available = FreeBytesBeside(destination);
    }
    failure->detail = FailureDetail(transfer);
    failure->cause = result.logLine;
}

// A proxy wants a login the run does not have, or refused the one it gave:
// the dialog asks the user (a silent run has nobody to ask). True when there
// is a login to try.
bool AskForProxyLogin(HWND window, const AttemptResult& result, bool refused, const std::wstring& user)
{
    ProxyLoginRequest request;
    request.proxy = result.proxy;
    request.realm = result.proxyRealm;
    request.refused = refused;
    request.user = user;
    const LRESULT answer = ::SendMessageW(window, WM_SETUP_PROXY_LOGIN, 0, reinterpret_cast<LPARAM>(&request));
    const bool given = answer == IDOK && !request.user.empty();
    if (given) {
        ProxyLogin login;
        login.user = request.user;
        login.password = request.password;
        login.basic = result.proxyBasic;
        RememberProxyLogin(login);
        ::SecureZeroMemory(login.password.data(), login.password.size() * sizeof(wchar_t));
        LogLine(L"Proxy %ls: a login for user %ls was typed in", EscapeLogText(result.proxy).c_str(),
                EscapeLogText(request.user).c_str());
    }
    ::SecureZeroMemory(request.password.data(), request.password.size() * sizeof(wchar_t));
    return given;
}

// Held while a transfer decides about a proxy's login: one box at a time.
SRWLOCK g_loginTurn = SRWLOCK_INIT;

}  // namespace

ULONGLONG DownloadFile(const wchar_t* destination, const wchar_t* url, HWND window,
                       const volatile LONG* cancel, const DownloadOptions& options, DownloadFailure* failure)
{
    AttemptRequest request;
    if (!AimAt(request, url)) {
        RequestLog log(url);
        return 0;
    }
    request.temporary = std::wstring(destination) + L".tmp";
    request.destination = destination;
    if (options.expectedDigest)
        request.expectedDigest = options.expectedDigest;
    if (options.expectedSha256) {
        request.hasSha256 = true;
        request.expectedSha256 = *options.expectedSha256;
    }
    if (options.listedSize) {
        request.hasListedSize = true;
        request.listedSize = *options.listedSize;
    }
    request.maxLength = options.maxLength;
    request.notFoundExpected = options.notFoundExpected;
    request.timings = options.timings;
    request.window = window;
    request.progress = options.progress;
    request.stop = options.stop;
    const std::wstring name = options.name ? std::wstring(options.name) : FileName(destination);
    // Without a digest nothing could show that a held part and the rest
    // belong to one version of the file, so every attempt starts over.
    const bool resumable = options.expectedDigest != nullptr || options.expectedSha256 != nullptr;
    DownloadReport unused;
    DownloadReport& report = options.report ? *options.report : unused;
    report = DownloadReport{};

    bool startedOver = false;   // after an answer that did not fit the held part
    bool fetchedWhole = false;  // after a resumed file with another digest
    bool wrote = false;         // this call wrote the temporary file
    for (;;) {
        request.held = resumable ? HeldLength(request.temporary) : 0;
        const unsigned loginGeneration = ProxyLoginGeneration();
        const AttemptResult result = RunAttempt(request, cancel);
        wrote = wrote || result.wrote;
        report.status = result.status;
        if (result.outcome == Attempt::SizeMismatch || result.outcome == Attempt::DigestMismatch) {
            report.mismatch = true;
            report.expected = result.expected;
            report.received = result.received;
        }

        switch (result.outcome) {
        case Attempt::Stored:
            return result.total;
        case Attempt::Cancelled:
            // The temporary file keeps what arrived: the next attempt goes on
            // from there (or truncates it, without a digest).
            report.cancelled = true;
            ::Sleep(kCancelPauseMs);
            return 0;
        case Attempt::RangeRefused:
            ::DeleteFileW(request.temporary.c_str());
            if (startedOver) {
                NoteFailure(failure, result, name, destination);
                return 0;
            }
            startedOver = true;
            continue;
        case Attempt::DigestMismatch:
            ::DeleteFileW(request.temporary.c_str());
            if (!result.resumed || fetchedWhole) {
                NoteFailure(failure, result, name, destination);
                return 0;
            }
            fetchedWhole = true;
            report = DownloadReport{};
            continue;
        case Attempt::SizeMismatch:
            // Not the listed file: a held part of it is of no use either.
            ::DeleteFileW(request.temporary.c_str());
            NoteFailure(failure, result, name, destination);
            return 0;
        case Attempt::NetworkFailure:
            if (request.retry < DownloadTimings::kRetries) {
                ShowRetry(window, name, request.retry + 1);
                const DWORD pause = result.serverPause ? result.pauseMs : options.timings.retryPausesMs[request.retry];
                if (!PauseUnlessCancelled(pause, cancel, options.stop)) {
                    report.cancelled = true;
                    ::Sleep(kCancelPauseMs);
                    return 0;
                }
                ++request.retry;
                continue;
            }
            if (MoveToNextServer(request, options.servers))
                continue;
            [[fallthrough]];
        case Attempt::Refused:
            if (result.outcome == Attempt::Refused && result.status / 100 == 5 &&
                MoveToNextServer(request, options.servers))
                continue;
            // What arrived is still the start of the file: a later run asks
            // for the rest.
            if (!resumable && wrote)
                ::DeleteFileW(request.temporary.c_str());
            NoteFailure(failure, result, name, destination);
            return 0;
        case Attempt::CertificateRefused:
            // Refused before any body arrived: a held part of a file with a
            // digest stays for a later run, as after any refusal.
            if (!resumable && wrote)
                ::DeleteFileW(request.temporary.c_str());
            NoteFailure(failure, result, name, destination);
            return 0;
        case Attempt::LocalFailure:
            if (wrote)
                ::DeleteFileW(request.temporary.c_str());
            NoteFailure(failure, result, name, destination);
            return 0;
        case Attempt::ProxyLoginRequired: {
            // Transfers that run at once ask one at a time; one that was
            // refused while another got a new login tries that login first.
            const SrwGuard turn(g_loginTurn);
            // A transfer stopped or cancelled while it waited for its turn
            // leaves without asking.
            if (CancelRequested(cancel) || CancelRequested(options.stop)) {
                report.cancelled = true;
                return 0;
            }
            if (ProxyLoginGeneration() != loginGeneration)
                continue;
            ProxyLogin known;
            const bool given = KnownProxyLogin(known);
            // Some proxies never take the login from WinInet's answer to
            // their challenge: the same login goes with the request itself.
            if (given && result.proxyBasic && !known.basic) {
                known.basic = true;
                RememberProxyLogin(known);
                ::SecureZeroMemory(known.password.data(), known.password.size() * sizeof(wchar_t));
                continue;
            }
            // Declined once, declined for the run: nobody is asked twice.
            const bool declinedBefore = ProxyLoginDeclined();
            if (!declinedBefore && AskForProxyLogin(window, result, given, known.user))
                continue;
            const std::wstring line = FormatLogText(
                L"Proxy %ls (realm \"%ls\") asks for a login: %ls", EscapeLogText(result.proxy).c_str(),
                EscapeLogText(result.proxyRealm).c_str(),
                given ? (L"the login for user " + EscapeLogText(known.user) + L" was refused").c_str()
                      : L"none was given (/PROXYUSER=, /PROXYPASS=)");
            if (declinedBefore)
                LogLine(L"%ls (not asked again in this run)", line.c_str());
            else {
                DeclineProxyLogin();
                LogError(L"%ls", line.c_str());
            }
            if (!resumable && wrote)
                ::DeleteFileW(request.temporary.c_str());
            if (failure)
                failure->code = SETUP_ERR_PROXY_LOGIN;
            NoteFailure(failure, result, name, destination, given);
            if (failure)
                failure->cause = line;
            return 0;
        }
        }
    }
}
