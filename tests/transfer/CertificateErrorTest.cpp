// Which WinInet failures are a refused certificate (never retried, named in
// the box) and which stay network failures that are worth another try.
#include "transfer/CertificateError.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>

#include <set>
#include <string>

namespace {

TEST(CertificateError, EveryCertificateRefusalIsNamedAndNetworkFailuresAreNot)
{
    // Problems a publisher fixes differently read differently; the others
    // may share a line with one of them.
    static const struct {
        const char* label;
        DWORD error;
        bool ownLine;
    } refusals[] = {
        {"unknown authority", ERROR_INTERNET_INVALID_CA, true},
        {"another name", ERROR_INTERNET_SEC_CERT_CN_INVALID, true},
        {"outside its dates", ERROR_INTERNET_SEC_CERT_DATE_INVALID, true},
        {"revoked", ERROR_INTERNET_SEC_CERT_REVOKED, true},
        {"revocation check failed, or no chain", ERROR_INTERNET_SEC_CERT_REV_FAILED, true},
        {"invalid certificate", ERROR_INTERNET_SEC_INVALID_CERT, true},
        {"no revocation information", ERROR_INTERNET_SEC_CERT_NO_REV, false},
        {"several problems", ERROR_INTERNET_SEC_CERT_ERRORS, false},
    };
    std::set<std::wstring> ownLines;
    for (const auto& c : refusals) {
        SCOPED_TRACE(c.label);
        EXPECT_TRUE(IsCertificateError(c.error));
        const wchar_t* text = CertificateProblemText(c.error);
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(std::wstring(text).rfind(L"安全连接失败：", 0), 0u) << "the line starts by saying what failed";
        if (c.ownLine) {
            EXPECT_TRUE(ownLines.insert(text).second) << "shares its line with another problem";
        }
    }

    static const struct {
        const char* label;
        DWORD error;
    } others[] = {
        {"no error", 0},
        {"cannot connect", ERROR_INTERNET_CANNOT_CONNECT},
        {"timeout", ERROR_INTERNET_TIMEOUT},
        {"connection aborted", ERROR_INTERNET_CONNECTION_ABORTED},
        {"connection reset", ERROR_INTERNET_CONNECTION_RESET},
        {"name not resolved", ERROR_INTERNET_NAME_NOT_RESOLVED},
        {"TLS handshake failed", ERROR_INTERNET_SECURITY_CHANNEL_ERROR},
        {"invalid server response", ERROR_HTTP_INVALID_SERVER_RESPONSE},
        {"a system code with a certificate code's number", ERROR_INTERNET_INVALID_CA - INTERNET_ERROR_BASE},
    };
    for (const auto& c : others) {
        SCOPED_TRACE(c.label);
        EXPECT_FALSE(IsCertificateError(c.error));
        EXPECT_EQ(CertificateProblemText(c.error), nullptr);
    }
}

}  // namespace
