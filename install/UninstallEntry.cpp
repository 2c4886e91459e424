#include "install/UninstallEntry.h"

#include "framework/LogFile.h"
#include "framework/RegistryKey.h"

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

void WriteString(HKEY key, const wchar_t* name, const WCHAR (&field)[MAX_PATH])
{
    const size_t length = ::wcsnlen(field, MAX_PATH - 1);
    LogLine(L"Registry write HKLM\\%ls: %ls = %ls", kUninstallEntryKey, name, std::wstring(field, length).c_str());
    ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(field),
                     static_cast<DWORD>((length + 1) * sizeof(WCHAR)));
}

void WriteDword(HKEY key, const wchar_t* name, DWORD value)
{
    LogLine(L"Registry write HKLM\\%ls: %ls = %lu", kUninstallEntryKey, name, static_cast<unsigned long>(value));
    ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
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
    if (!key.Open(HKEY_LOCAL_MACHINE, kUninstallEntryKey) && !key.Create(HKEY_LOCAL_MACHINE, kUninstallEntryKey))
        return FALSE;

    for (const auto& value : kStringValues)
        WriteString(key.Key(), value.name, info.*value.field);
    // Bytes to whole KiB; a size past what the value holds shows as the largest.
    const ULONGLONG kib = info.EstimatedSize >> 10;
    WriteDword(key.Key(), L"EstimatedSize", kib > MAXDWORD ? MAXDWORD : static_cast<DWORD>(kib));
    WriteDword(key.Key(), L"MajorVersion", info.MajorVersion);
    WriteDword(key.Key(), L"MinorVersion", info.MinorVersion);
    WriteDword(key.Key(), L"NoModify", info.NoModify);
    WriteDword(key.Key(), L"NoRepair", info.NoRepair);
    key.Close();
    return TRUE;
}
