// The client's value in the machine's Run key.
#include "install/FinishActions.h"

#include "core/ProductNames.h"
#include "framework/LogFile.h"
#include "framework/RegistryKey.h"
#include "framework/RegistryWrite.h"

BOOL AddRunEntry(const InstallInfo& info)
{
    // A plain path, without quotes or arguments, also when it has blanks.
    const std::wstring client = InstallFilePath(info, kClientExe);
    RegistryKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, kRunKey))
        return FALSE;
    const bool written = WriteRegistryString(key, kRunValue, client);
    key.Close();
    return written ? TRUE : FALSE;
}

BOOL RemoveRunEntry()
{
    RegistryKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, kRunKey))
        return FALSE;
    LogLine(L"Registry delete HKLM\\%ls: %ls", kRunKey, kRunValue);
    ::RegDeleteValueW(key.Key(), kRunValue);  // a missing value is no error
    key.Close();
    return TRUE;
}
