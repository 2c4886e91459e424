#include "core/DotNetClient.h"

#include "framework/RegistryKey.h"

#include <windows.h>

namespace {

constexpr wchar_t kDotNetClientKey[] = L"Software\\Microsoft\\NET Framework Setup\\NDP\\v4.0\\Client";
constexpr wchar_t kDotNet4ClientKey[] = L"Software\\Microsoft\\NET Framework Setup\\NDP\\v4\\Client";

}  // namespace

bool DotNetClientInstalled()
{
    DWORD installed = 0;
    if (ReadRegistryInstallValue(kDotNetClientKey, &installed) && installed == 1)
        return true;
    installed = 0;
    return ReadRegistryInstallValue(kDotNet4ClientKey, &installed) && installed == 1;
}
