// The proxy a run goes through and the login it gives it: what /PROXY=,
// /PROXYUSER= and /PROXYPASS= say, and what the user typed into the login
// box. Held in this process's memory only, never written anywhere: the login
// serves every later request and retry of the process's runs.
#pragma once

#include <string>

// host:port of a proxy that replaces the system's settings; empty: the
// system's own (the Internet settings).
void UseProxy(const std::wstring& proxy);
std::wstring ChosenProxy();

struct ProxyLogin {
    std::wstring user;
    std::wstring password;
    // The proxy asked for Basic: the login goes with every request at once
    // (some proxies never send the challenge WinInet answers by itself).
    bool basic = false;
};

void RememberProxyLogin(const ProxyLogin& login);
// False when there is none.
bool KnownProxyLogin(ProxyLogin& login);
// The "Basic ..." value of a Proxy-Authorization header for the login.
std::wstring BasicProxyAuthorization(const ProxyLogin& login);
// Wipes the login from memory; the requests that follow carry none.
void ForgetProxyLogin();
// Changes whenever a login is remembered or forgotten: a request that was
// refused under an older login tries the newer one before anyone is asked.
unsigned ProxyLoginGeneration();

// The user left the login box without a login, or nobody could be asked (a
// silent run): the answer holds for the rest of the run, and no other
// transfer asks again. A new run (DownloadClientFiles) asks again.
void DeclineProxyLogin();
bool ProxyLoginDeclined();
void ForgetProxyLoginDecline();
