#include "transfer/FailureDetail.h"

#include "transfer/CertificateError.h"
#include "framework/FormatText.h"

#include <wininet.h>

namespace {

constexpr DWORD kUnauthorized = 401;
constexpr DWORD kProxyAuthenticationRequired = 407;
constexpr DWORD kNetworkAuthenticationRequired = 511;

std::wstring Format(const wchar_t* format, ...)
{
    wchar_t text[512] = {};
    va_list args;
    va_start(args, format);
    FormatTextV(text, 512, format, args);
    va_end(args);
    return text;
}

// Whole tenths of a unit, rounded: 1.25 MB reads "1.3 MB".
std::wstring Tenths(ULONGLONG bytes, ULONGLONG unit, const wchar_t* name)
{
    const ULONGLONG tenths = (bytes * 10 + unit / 2) / unit;
    return Format(L"%I64u.%I64u %ls", tenths / 10, tenths % 10, name);
}

// The download server itself never asks for a login (its requests carry
// none), so an answer that does comes from the network on the way.
std::wstring LoginDetail(DWORD status)
{
    switch (status) {
    case kProxyAuthenticationRequired:
        return L"网络要求登录：代理服务器需要用户名和密码。";
    case kUnauthorized:
        return L"网络要求登录：网络或代理服务器需要用户名和密码（HTTP 401）。";
    default:
        return L"网络要求登录：请先在浏览器中登录网络，然后重试。";
    }
}

}  // namespace

bool IsDiskFull(DWORD error)
{
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
}

std::wstring SizeText(ULONGLONG bytes)
{
    constexpr ULONGLONG kKilo = 1024;
    constexpr ULONGLONG kMega = kKilo * 1024;
    constexpr ULONGLONG kGiga = kMega * 1024;
    if (bytes >= kGiga)
        return Tenths(bytes, kGiga, L"GB");
    if (bytes >= kMega)
        return Tenths(bytes, kMega, L"MB");
    // Never "0 KB" for a few bytes: a file that does not fit takes room.
    return Format(L"%I64u KB", (bytes + kKilo - 1) / kKilo);
}

std::wstring LoginPageDetail()
{
    return L"网络要求登录：服务器发来的是一个网页而不是文件列表，请先在浏览器中登录网络，然后重试。";
}

bool LooksLikeWebPage(const std::wstring& firstLine)
{
    return !firstLine.empty() && firstLine[0] == L'<';
}

std::wstring FailureDetail(const FailedTransfer& failure)
{
    switch (failure.outcome) {
    case Attempt::Stored:
    case Attempt::Cancelled:
        return {};
    case Attempt::CertificateRefused:
        if (const wchar_t* text = CertificateProblemText(failure.error))
            return text;
        return L"安全连接失败：服务器的证书无效。";
    case Attempt::DigestMismatch:
    case Attempt::SizeMismatch:
        return Format(L"文件在传输中损坏：%ls 与文件列表中的校验值不符，请重试。", failure.name.c_str());
    case Attempt::LocalFailure:
        if (IsDiskFull(failure.error))
            return Format(L"磁盘空间不足：%ls 需要 %ls，可用空间只有 %ls。", failure.name.c_str(),
                          SizeText(failure.needed).c_str(), SizeText(failure.available).c_str());
        return Format(L"无法写入文件 %ls（错误代码 %lu）。", failure.name.c_str(),
                      static_cast<unsigned long>(failure.error));
    case Attempt::ProxyLoginRequired:
        if (failure.loginRefused)
            return L"网络要求登录：代理服务器拒绝了所给的用户名或密码。";
        return LoginDetail(kProxyAuthenticationRequired);
    case Attempt::NetworkFailure:
    case Attempt::RangeRefused:
    case Attempt::Refused:
        break;
    }
    const DWORD status = failure.status;
    if (status == kUnauthorized || status == kProxyAuthenticationRequired || status == kNetworkAuthenticationRequired)
        return LoginDetail(status);
    if (status != 0 && status / 100 != 2)
        return Format(L"下载服务器返回了错误（HTTP %lu）。", static_cast<unsigned long>(status));
    // An answer came, but not one a file can be taken from (no length, a
    // range that does not fit).
    if (status != 0 && failure.outcome != Attempt::NetworkFailure)
        return Format(L"下载服务器的应答无法使用（HTTP %lu）。", static_cast<unsigned long>(status));
    // No answer, a connection that broke off or a transfer too slow to wait for.
    return L"无法连接到下载服务器，请检查网络连接。";
}
