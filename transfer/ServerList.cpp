#include "transfer/ServerList.h"

#include "framework/LogFile.h"
#include "framework/SrwGuard.h"

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

size_t ServerList::CurrentIndex() const
{
    SrwGuard guard(m_lock);
    return m_current;
}

bool ServerList::MoveOn(std::wstring& url)
{
    SrwGuard guard(m_lock);
    // Every request of the run is built on a server's base: the one it
    // starts with names the server that failed (the current one, unless
    // another transfer has left it already).
    const std::wstring currentBase = DownloadRequestBase(m_servers[m_current]);
    size_t failed = m_current;
    for (size_t i = 0; i < m_current && url.compare(0, currentBase.size(), currentBase) != 0; ++i) {
        const std::wstring base = DownloadRequestBase(m_servers[i]);
        if (url.compare(0, base.size(), base) == 0) {
            failed = i;
            break;
        }
    }
    const std::wstring failedBase = DownloadRequestBase(m_servers[failed]);
    if (failed < m_current) {
        url = currentBase + url.substr(failedBase.size());
        return true;
    }
    if (m_current + 1 >= m_servers.size())
        return false;
    const std::wstring failedHost = m_servers[m_current].host;
    ++m_current;
    const std::wstring nextBase = DownloadRequestBase(m_servers[m_current]);
    if (url.compare(0, failedBase.size(), failedBase) == 0)
        url = nextBase + url.substr(failedBase.size());
    LogLine(L"Server host %ls failed; the rest of the run uses %ls (server %u of %u)",
            EscapeLogText(failedHost).c_str(), EscapeLogText(m_servers[m_current].host).c_str(),
            static_cast<unsigned>(m_current + 1), static_cast<unsigned>(Count()));
    return true;
}

std::wstring FirstServerHostName(const std::wstring& text)
{
    ServerList servers;
    return servers.Parse(text) ? servers.Current().host : text;
}
