// Prints what ReadServerHost finds in this very executable: "1 host" or
// "0 <default>". tools_test.sh stamps copies of it with tools/stamp-host.
#include "download/ServerHost.h"

#include <cstdio>
#include <string>

int wmain()
{
    std::wstring host = L"<default>";
    const bool found = ReadServerHost(host);
    std::printf("%d ", found ? 1 : 0);
    for (wchar_t c : host)
        std::putchar(c < 0x80 ? static_cast<char>(c) : '?');
    std::printf("\n");
    return 0;
}
