#include "transfer/DownloadLog.h"

#include "transfer/DownloadOptions.h"
#include "framework/FormatText.h"
#include "framework/Handles.h"
#include "framework/LogFile.h"
#include "framework/SystemErrorText.h"

#include <wininet.h>

#include <cwchar>

namespace {

// WinInet's own codes (12000 to 12175) have their texts in wininet.dll, not
// in the system's message table.
std::wstring RequestErrorText(DWORD error)
{
    wchar_t* text = nullptr;
    const HMODULE wininet = ::GetModuleHandleW(L"wininet.dll");
    if (error >= INTERNET_ERROR_BASE && error <= INTERNET_ERROR_LAST && wininet &&
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                         wininet, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr) != 0 &&
        text) {
        qxt::UniqueLocalMemory owner(text);
        return text;
    }
    return SystemErrorText(error);
}

}  // namespace

// The URL carries the server host and the manifest's name as they came.
RequestLog::RequestLog(const wchar_t* url) : m_url(EscapeLogText(url ? url : L"")), m_start(::GetTickCount64()) {}

RequestLog::~RequestLog()
{
    Write();
}

void RequestLog::Write()
{
    if (m_written)
        return;
    m_written = true;
    const double seconds = static_cast<double>(::GetTickCount64() - m_start) / 1000.0;
    wchar_t length[32] = L"none";
    if (hasLength)
        FormatText(length, 32, L"%I64u", declared);
    // Which request of the download this was, and what it asked for.
    wchar_t request[96] = L"";
    if (retry != 0 && rangeFrom != 0)
        FormatText(request, 96, L" (retry %lu/%lu, from byte %I64u)", static_cast<unsigned long>(retry),
                   static_cast<unsigned long>(DownloadTimings::kRetries), rangeFrom);
    else if (retry != 0)
        FormatText(request, 96, L" (retry %lu/%lu)", static_cast<unsigned long>(retry),
                   static_cast<unsigned long>(DownloadTimings::kRetries));
    else if (rangeFrom != 0)
        FormatText(request, 96, L" (from byte %I64u)", rangeFrom);
    if (stored) {
        m_line = FormatLogText(L"GET %ls%ls: status %lu, declared length %ls, received %I64u bytes%ls, %.2f s: stored",
                               m_url.c_str(), request, static_cast<unsigned long>(status), length, received,
                               appended ? L" after the held part" : L"", seconds);
        LogLine(L"%ls", m_line.c_str());
        return;
    }
    if (notFoundExpected && status == 404) {
        m_line = FormatLogText(L"GET %ls%ls: status 404, %.2f s: not on the server", m_url.c_str(), request, seconds);
        LogLine(L"%ls", m_line.c_str());
        return;
    }
    if (cancelled) {
        m_line = FormatLogText(L"GET %ls%ls: status %lu, declared length %ls, received %I64u bytes, %.2f s: cancelled",
                               m_url.c_str(), request, static_cast<unsigned long>(status), length, received, seconds);
        LogLine(L"%ls", m_line.c_str());
        return;
    }
    std::wstring reason;
    wchar_t text[96] = {};
    if (tooSlow) {
        FormatText(text, 96, L"fewer than %lu bytes a second for %lu s", static_cast<unsigned long>(slowestRate),
                   static_cast<unsigned long>((slowWindowMs + 999) / 1000));
        reason = text;
    }
    else if (error != 0) {
        reason = RequestErrorText(error);
        while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r' || reason.back() == L' '))
            reason.pop_back();
        wchar_t code[16] = {};
        FormatText(code, 16, L" (%lu)", static_cast<unsigned long>(error));
        reason += code;
    }
    else if (rangeFrom != 0 && status == 206 && !appended)
        reason = L"the answer does not continue the held part";
    else if (rangeFrom != 0 && status == 416)
        reason = L"the server has no such range";
    else if (status != 0 && status / 100 != 2 && hasServerPause) {
        FormatText(text, 96, L"the server did not answer 2xx and asks to try again after %I64u s",
                   serverPauseSeconds);
        reason = text;
    }
    else if (status != 0 && status / 100 != 2)
        reason = L"the server did not answer 2xx";
    else if (status != 0 && !hasLength)
        reason = L"the answer declares no length";
    else if (!mismatch.empty())
        reason = mismatch;
    else if (digestMismatch)
        reason = L"the body's MD5 is not the manifest's";
    else if (hasLength && received != declared)
        reason = L"the body ended before the declared length";
    else
        reason = L"not stored";
    m_line = FormatLogText(L"GET %ls%ls: status %lu, declared length %ls, received %I64u bytes, %.2f s: failed: %ls",
                           m_url.c_str(), request, static_cast<unsigned long>(status), length, received, seconds,
                           reason.c_str());
    LogError(L"%ls", m_line.c_str());
}

std::wstring FileDecisionText(const std::wstring& path, const std::wstring& localDigest,
                              const std::wstring& manifestDigest, bool keep)
{
    return EscapeLogText(path) + L": local MD5 " + (localDigest.empty() ? std::wstring(L"(none)") : localDigest) +
           L", manifest MD5 " + EscapeLogText(manifestDigest) + (keep ? L": kept" : L": fetch");
}
