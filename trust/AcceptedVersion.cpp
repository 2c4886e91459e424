#include "trust/AcceptedVersion.h"

#include "core/ProductNames.h"
#include "framework/RegistryKey.h"

AcceptedVersionPlace ProductAcceptedVersionPlace()
{
    return {HKEY_LOCAL_MACHINE, kProductKey, kAcceptedListVersionValue};
}

ULONGLONG ReadAcceptedVersion(const AcceptedVersionPlace& place)
{
    ULONGLONG version = 0;
    DWORD type = 0;
    DWORD size = sizeof version;
    const LONG result = ::RegGetValueW(place.root, place.subKey, place.value, RRF_RT_ANY, &type, &version, &size);
    if (result == ERROR_FILE_NOT_FOUND || result == ERROR_PATH_NOT_FOUND)
        return 0;
    if (result != ERROR_SUCCESS || type != REG_QWORD || size != sizeof version)
        return ~0ULL;
    return version;
}

bool WriteAcceptedVersion(const AcceptedVersionPlace& place, ULONGLONG version)
{
    const ULONGLONG stored = ReadAcceptedVersion(place);
    if (stored >= version)
        return true;
    RegistryKey key;
    if (!key.Create(place.root, place.subKey))
        return false;
    return ::RegSetValueExW(key.Key(), place.value, 0, REG_QWORD, reinterpret_cast<const BYTE*>(&version),
                            sizeof version) == ERROR_SUCCESS;
}
