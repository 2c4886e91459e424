#include "framework/HttpConnection.h"

#include "framework/HttpFile.h"

std::unique_ptr<CHttpFile> CHttpConnection::OpenRequest(Verb verb, const wchar_t* objectName,
                                                        const wchar_t* referrer, DWORD_PTR context,
                                                        const wchar_t** acceptTypes,
                                                        const wchar_t* version, DWORD flags)
{
    const wchar_t* verbText = verb == HTTP_VERB_POST ? L"POST" : L"GET";
    qxt::UniqueHinternet request(::HttpOpenRequestW(m_connection.Get(), verbText, objectName, version,
                                                    referrer, acceptTypes, flags, context));
    if (!request)
        return nullptr;
    return std::make_unique<CHttpFile>(std::move(request));
}

void CHttpConnection::Close()
{
    m_connection.Reset();
}
