#include "transfer/CertificateError.h"

#include <wininet.h>

namespace {

struct CertificateProblem {
    DWORD error;
    const wchar_t* text;
};

const CertificateProblem kProblems[] = {
    {ERROR_INTERNET_INVALID_CA, L"安全连接失败：服务器的证书不是受信任的机构颁发的。"},
    {ERROR_INTERNET_SEC_CERT_CN_INVALID, L"安全连接失败：服务器的证书与服务器名称不符。"},
    {ERROR_INTERNET_SEC_CERT_DATE_INVALID, L"安全连接失败：服务器的证书已过期或尚未生效。"},
    {ERROR_INTERNET_SEC_CERT_REVOKED, L"安全连接失败：服务器的证书已被吊销。"},
    {ERROR_INTERNET_SEC_CERT_NO_REV, L"安全连接失败：无法确认服务器的证书是否已被吊销。"},
    // Also what WinInet says of a certificate whose issuer it cannot find at
    // all (the server sent no chain to a root it knows).
    {ERROR_INTERNET_SEC_CERT_REV_FAILED, L"安全连接失败：无法验证服务器的证书（颁发机构未知，或无法确认证书是否已被吊销）。"},
    {ERROR_INTERNET_SEC_INVALID_CERT, L"安全连接失败：服务器的证书无效。"},
    {ERROR_INTERNET_SEC_CERT_ERRORS, L"安全连接失败：服务器的证书无效。"},
};

}  // namespace

bool IsCertificateError(DWORD error)
{
    return CertificateProblemText(error) != nullptr;
}

const wchar_t* CertificateProblemText(DWORD error)
{
    for (const CertificateProblem& problem : kProblems)
        if (problem.error == error)
            return problem.text;
    return nullptr;
}
