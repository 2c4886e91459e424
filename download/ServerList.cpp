#include "download/ServerList.h"

#include "framework/LogFile.h"

bool ServerList::Parse(const std::wstring& text)
{
    std::vector<ServerAddress> servers;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(kServerHostSeparator, start);
        ServerAddress address;
        if (!ParseServerAddress(text.substr(start, end == std::wstring::npos ? end : end - start), address))
            return false;
        servers.push_back(address);
        if (end == std::wstring::npos)
            break;
        start = end + 1;
    }
    m_servers = std::move(servers);
    m_current = 0;
    return true;
}

bool ServerList::MoveOn(std::wstring& url)
{
    if (m_current + 1 >= m_servers.size())
        return false;
    const std::wstring failedBase = RequestBase();
    const std::wstring failedHost = Current().host;
    ++m_current;
    // Every request of the run is built on the current server's base.
    if (url.compare(0, failedBase.size(), failedBase) == 0)
        url = RequestBase() + url.substr(failedBase.size());
    LogLine(L"Server host %ls failed; the rest of the run uses %ls (server %u of %u)",
            EscapeLogText(failedHost).c_str(), EscapeLogText(Current().host).c_str(),
            static_cast<unsigned>(CurrentNumber()), static_cast<unsigned>(Count()));
    return true;
}

std::wstring FirstServerHostName(const std::wstring& text)
{
    ServerList servers;
    return servers.Parse(text) ? servers.Current().host : text;
}
