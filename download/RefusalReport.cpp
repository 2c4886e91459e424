#include "download/RefusalReport.h"

#include "framework/LogFile.h"

namespace {

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

}  // namespace

BOOL ReportRefusal(const TrustRefusal& refusal, const wchar_t* what, DownloadFailure& failure,
                   const std::wstring& name)
{
    failure.cause = FormatLogText(L"%ls refused: %ls", what, DescribeRefusal(refusal).c_str());
    LogError(L"%ls", failure.cause.c_str());
    failure.code = refusal.code;
    failure.detail = RefusalLine(refusal, name);
    return 0;
}
