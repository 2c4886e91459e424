#include "framework/Unattended.h"

#include "framework/MessageBox.h"

#include <windows.h>

namespace {

constexpr UINT kNoSystemBoxes = SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX;

volatile LONG g_unattended = 0;
UINT g_errorModeBefore = 0;

}  // namespace

void SetUnattended(bool unattended)
{
    const bool was = ::InterlockedExchange(&g_unattended, unattended ? 1 : 0) != 0;
    SuppressMessageBoxes(unattended);
    if (unattended && !was)
        g_errorModeBefore = ::SetErrorMode(::GetErrorMode() | kNoSystemBoxes);
    else if (!unattended && was)
        ::SetErrorMode(g_errorModeBefore);
}

bool IsUnattended()
{
    return g_unattended != 0;
}
