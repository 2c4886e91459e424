#include "install/UninstallEntry.h"

#include "framework/LogFile.h"
#include "framework/RegistryKey.h"
#include "framework/RegistryWrite.h"
#include "framework/SystemErrorText.h"

#include <cstring>
#include <cwchar>

namespace {

using StringField = WCHAR (InstallInfo::*)[MAX_PATH];

// The ten string values, in the order of the record and of writing.
struct StringValue {
    const wchar_t* name;
    StringField field;
};
constexpr StringValue kStringValues[] = {
    {L"DisplayIcon", &InstallInfo::DisplayIcon},
    {L"DisplayVersion", &InstallInfo::DisplayVersion},
    {L"InstallDate", &InstallInfo::InstallDate},
    {L"UninstallString", &InstallInfo::UninstallString},
    {L"DisplayName", &InstallInfo::DisplayName},
    {L"HelpLink", &InstallInfo::HelpLink},
    {L"InstallLocation", &InstallInfo::InstallLocation},
    {L"Publisher", &InstallInfo::Publisher},
    {L"URLInfoAbout", &InstallInfo::URLInfoAbout},
    {L"URLUpdateInfo", &InstallInfo::URLUpdateInfo},
};

// A string value that fits a field with its terminating NUL; anything else
// (missing, longer, not REG_SZ) leaves the field empty. A value of 260
// characters without a NUL would fill the field without ending it, so it
// counts as too long.
void ReadString(HKEY key, const wchar_t* name, WCHAR (&field)[MAX_PATH])
{
    WCHAR text[MAX_PATH] = {};
    DWORD type = 0;
    DWORD size = sizeof text;
    field[0] = L'\0';
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return;
    const size_t length = ::wcsnlen(text, size / sizeof(WCHAR));
    if (length >= MAX_PATH)
        return;
    std::wmemcpy(field, text, length);
    field[length] = L'\0';
}

bool ReadDword(HKEY key, const wchar_t* name, DWORD& value)
{
    DWORD type = 0;
    DWORD size = sizeof value;
    return ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
           type == REG_DWORD;
}

}  // namespace

BOOL ReadUninstallEntry(InstallInfo& info)
{
    std::memset(&info, 0, sizeof info);

    RegistryKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, kUninstallEntryKey))
        return FALSE;

    for (const auto& value : kStringValues)
        ReadString(key.Key(), value.name, info.*value.field);

    DWORD number = 0;
    info.EstimatedSize = ReadDword(key.Key(), L"EstimatedSize", number) ? ULONGLONG{number} << 10 : 0;  // KiB to bytes
    info.NoModify = ReadDword(key.Key(), L"NoModify", number) ? number : 1;
    info.NoRepair = ReadDword(key.Key(), L"NoRepair", number) ? number : 1;
    key.Close();

    // The version is the installed client's, whatever the entry says.
    FillClientVersion(info, InstallFilePath(info, kClientExe));
    return TRUE;
}

BOOL WriteUninstallEntry(InstallInfo& info)
{
    RegistryKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, kUninstallEntryKey) && !key.Create(HKEY_LOCAL_MACHINE, kUninstallEntryKey)) {
        LogError(L"Registry key HKLM\\%ls: cannot be created: %ls", kUninstallEntryKey, LastErrorText().c_str());
        return FALSE;
    }

    // Every value is tried, so that the log names each one that is missing;
    // an entry with a value missing is not the entry the record describes.
    bool written = true;
    for (const auto& value : kStringValues) {
        const WCHAR(&field)[MAX_PATH] = info.*value.field;
        written &= WriteRegistryString(key, value.name, std::wstring(field, ::wcsnlen(field, MAX_PATH - 1)));
    }
    // Bytes to whole KiB; a size past what the value holds shows as the largest.
    const ULONGLONG kib = info.EstimatedSize >> 10;
    written &= WriteRegistryDword(key, L"EstimatedSize", kib > MAXDWORD ? MAXDWORD : static_cast<DWORD>(kib));
    written &= WriteRegistryDword(key, L"MajorVersion", info.MajorVersion);
    written &= WriteRegistryDword(key, L"MinorVersion", info.MinorVersion);
    written &= WriteRegistryDword(key, L"NoModify", info.NoModify);
    written &= WriteRegistryDword(key, L"NoRepair", info.NoRepair);
    key.Close();
    return written ? TRUE : FALSE;
}
