#include "framework/HttpFile.h"

BOOL CHttpFile::SetOption(DWORD option, void* buffer, DWORD length)
{
    return ::InternetSetOptionW(m_request.Get(), option, buffer, length);
}

BOOL CHttpFile::AddRequestHeaders(const wchar_t* headers, DWORD modifiers, DWORD length)
{
    return ::HttpAddRequestHeadersW(m_request.Get(), headers, length, modifiers);
}

BOOL CHttpFile::SendRequest(const wchar_t* headers, DWORD headersLength, void* optional,
                            DWORD optionalLength)
{
    return ::HttpSendRequestW(m_request.Get(), headers, headersLength, optional, optionalLength);
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

BOOL CHttpFile::Read(void* buffer, UINT count, UINT& read)
{
    DWORD got = 0;
    const BOOL ok = ::InternetReadFile(m_request.Get(), buffer, count, &got);
    read = ok ? got : 0;
    return ok;
}

void CHttpFile::Close()
{
    m_request.Reset();
}
