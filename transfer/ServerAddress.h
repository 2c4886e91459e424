// The stamped host text turned into the addresses the setup program uses.
// Every setup stamped so far carries a bare "host[:port]", which means plain
// HTTP; a publisher who serves over TLS stamps "https://host[:port]".
#pragma once

#include <string>

struct ServerAddress {
    bool secure = false;  // https: WinInet's TLS with its own certificate checks
    std::wstring host;    // host[:port] without the scheme, as the client's configuration names it
};

// Splits "host[:port]", "http://host[:port]" or "https://host[:port]" (the
// scheme in any case, one closing "/" allowed). False, address unchanged,
// for another scheme, an empty host, or a path, query or user part.
bool ParseServerAddress(const std::wstring& text, ServerAddress& address);

// The host text without its scheme; a text that does not parse stays whole.
std::wstring ServerHostName(const std::wstring& text);

// The start of every download request for that server, up to and including
// "filename=".
std::wstring DownloadRequestBase(const ServerAddress& address);
