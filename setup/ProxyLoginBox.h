// The box that asks for a proxy's login: user name and password, with a
// line saying so when the last login was refused.
#pragma once

#include "core/ProxyLoginRequest.h"

#include <windows.h>

// Shows the box over owner until the user answers. IDOK with request.user
// and request.password filled in, or IDCANCEL.
INT_PTR AskProxyLogin(HWND owner, ProxyLoginRequest& request);
