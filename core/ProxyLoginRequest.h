// What the download asks the dialog when a proxy wants a login: the proxy
// and its realm, whether the last login was refused, and the answer.
#pragma once

#include <string>

struct ProxyLoginRequest {
    std::wstring proxy;     // as the system or /PROXY= names it; may be empty
    std::wstring realm;     // the proxy's own name for what it guards; may be empty
    bool refused = false;   // the login given so far was not accepted
    // The answer: filled in by the dialog, held in memory only.
    std::wstring user;
    std::wstring password;
};
