#include "framework/HttpFile.h"

#include "framework/InternetException.h"

BOOL CHttpFile::SetOption(DWORD option, void* buffer, DWORD length)
{
    return ::InternetSetOptionW(m_request.Get(), option, buffer, length);
}

BOOL CHttpFile::AddRequestHeaders(const wchar_t* headers, DWORD modifiers, DWORD length)
{
    return ::HttpAddRequestHeadersW(m_request.Get(), headers, length, modifiers);
}

void CHttpFile::SendRequest(const wchar_t* headers, DWORD headersLength, void* optional,
                            DWORD optionalLength)
{
    if (!::HttpSendRequestW(m_request.Get(), headers, headersLength, optional, optionalLength))
        throw CInternetException(::GetLastError());
}

BOOL CHttpFile::QueryInfoStatusCode(DWORD& statusCode) const
{
    DWORD length = sizeof statusCode;
    return ::HttpQueryInfoW(m_request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                            &statusCode, &length, nullptr);
}

BOOL CHttpFile::QueryInfo(DWORD infoLevel, void* buffer, DWORD* bufferLength, DWORD* index) const
{
    return ::HttpQueryInfoW(m_request.Get(), infoLevel, buffer, bufferLength, index);
}

UINT CHttpFile::Read(void* buffer, UINT count)
{
    DWORD read = 0;
    if (!::InternetReadFile(m_request.Get(), buffer, count, &read))
        throw CInternetException(::GetLastError());
    return read;
}

void CHttpFile::Close()
{
    m_request.Reset();
}
