// The system's own text for an error code, taken straight from FormatMessageW,
// to check the program's error boxes against.
#pragma once

#include <windows.h>

#include <string>

namespace qxt::test {

std::wstring FormatMessageText(DWORD error);

}  // namespace qxt::test
