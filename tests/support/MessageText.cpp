#include "tests/support/MessageText.h"

namespace qxt::test {

std::wstring FormatMessageText(DWORD error)
{
    wchar_t buffer[1024] = {};
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                          0, buffer, 1024, nullptr);
    return std::wstring(buffer, length);
}

}  // namespace qxt::test
