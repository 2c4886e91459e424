#include "install/ClientConfig.h"

#include "core/ProductNames.h"
#include "framework/FileSystem.h"

#include <shlobj.h>

#include <string>

namespace {

constexpr wchar_t kSection[] = L"CONFIG";
constexpr wchar_t kHostKey[] = L"HOST";

// The downloaded file is read-only; the profile writer could not replace it.
void MakeWritable(const std::wstring& path)
{
    if (!FileExists(path.c_str()))
        return;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    const DWORD kept = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    ::SetFileAttributesW(path.c_str(), kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL);
}

}  // namespace

std::wstring GetClientDataFolder()
{
    wchar_t appData[MAX_PATH] = {};
    ::SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE);
    std::wstring folder = appData;
    CreateMissingFolder(folder.c_str());

    AppendBackslash(folder);
    folder += kPublisher;
    CreateMissingFolder(folder.c_str());

    AppendBackslash(folder);
    folder += kDisplayName;
    CreateMissingFolder(folder.c_str());

    AppendBackslash(folder);
    return folder;
}

BOOL WriteClientConfig(const wchar_t* host, InstallInfo& info)
{
    const std::wstring installed = InstallFilePath(info, kClientConfigFile);
    MakeWritable(installed);
    ::WritePrivateProfileStringW(kSection, kHostKey, host, installed.c_str());

    std::wstring folder = GetClientDataFolder() + L"Config";
    CreateMissingFolder(folder.c_str());
    AppendBackslash(folder);
    ::WritePrivateProfileStringW(kSection, kHostKey, host, (folder + kClientConfigFile).c_str());
    return TRUE;
}
