#include "framework/InternetSession.h"

#include "framework/ExecutableName.h"
#include "framework/HttpConnection.h"

#include <string>

CInternetSession::CInternetSession(const wchar_t* agent, DWORD_PTR context, DWORD accessType,
                                   const wchar_t* proxyName, const wchar_t* proxyBypass, DWORD flags)
    : m_dwContext(context)
{
    std::wstring defaultAgent;
    if (agent == nullptr) {
        defaultAgent = ExecutableBaseName();
        agent = defaultAgent.c_str();
    }
    m_session.Reset(::InternetOpenW(agent, accessType, proxyName, proxyBypass, flags));
}

BOOL CInternetSession::SetOption(DWORD option, void* buffer, DWORD length)
{
    return ::InternetSetOptionW(m_session.Get(), option, buffer, length);
}

std::unique_ptr<CHttpConnection> CInternetSession::GetHttpConnection(const wchar_t* server,
                                                                     INTERNET_PORT port,
                                                                     const wchar_t* userName,
                                                                     const wchar_t* password)
{
    qxt::UniqueHinternet connection(::InternetConnectW(m_session.Get(), server, port, userName, password,
                                                       INTERNET_SERVICE_HTTP, 0, m_dwContext));
    if (!connection)
        return nullptr;
    return std::make_unique<CHttpConnection>(std::move(connection), m_dwContext);
}

void CInternetSession::Close()
{
    m_session.Reset();
}

void AllowConnectionsPerServer(DWORD count)
{
    ::InternetSetOptionW(nullptr, INTERNET_OPTION_MAX_CONNS_PER_SERVER, &count, sizeof count);
    ::InternetSetOptionW(nullptr, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER, &count, sizeof count);
}
