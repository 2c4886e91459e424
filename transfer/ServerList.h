// The download servers of one run, in the order the publisher stamped them.
// The run starts on the first; a server that fails (no connection, a body cut
// short, a 5xx answer after its retries) is left for the rest of the run and
// the next one takes over. Every server publishes the same files: whatever a
// later one sends is checked against the list the run already holds.
//
// Transfers that run at once share one list: each asks for the current
// server when it builds a request, and a server that fails for one of them
// is left for all.
#pragma once

#include "transfer/ServerAddress.h"

#include <windows.h>

#include <string>
#include <vector>

// The separator between the stamped hosts: no host and no scheme holds it,
// so a stamp with one host reads exactly as before.
constexpr wchar_t kServerHostSeparator = L',';

class ServerList {
public:
    // Reads "host[,host...]", each host as ParseServerAddress takes it. False,
    // the list unchanged, when any of them does not parse or one is empty.
    bool Parse(const std::wstring& text);

    ServerList() = default;
    ServerList(const ServerList&) = delete;
    ServerList& operator=(const ServerList&) = delete;

    const ServerAddress& Current() const { return m_servers[CurrentIndex()]; }
    size_t CurrentNumber() const { return CurrentIndex() + 1; }  // from 1
    size_t Count() const { return m_servers.size(); }

    // The start of every request to the current server, up to "filename=".
    std::wstring RequestBase() const { return DownloadRequestBase(Current()); }

    // url's server has failed: the next one serves the rest of the run and
    // url, a request to the failed server, becomes the same request to it
    // (the log says so). When another transfer has already left that server,
    // url just moves to the current one. False, nothing changed, when url's
    // server is the last one.
    bool MoveOn(std::wstring& url);

private:
    size_t CurrentIndex() const;

    std::vector<ServerAddress> m_servers{ServerAddress{}};
    size_t m_current = 0;
    mutable SRWLOCK m_lock = SRWLOCK_INIT;
};

// The host the client's configuration names for the stamped text: its first
// host without a scheme (the text whole when it does not parse).
std::wstring FirstServerHostName(const std::wstring& text);
