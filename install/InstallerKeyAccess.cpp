#include "install/InstallerKeyAccess.h"

#include "core/ProductNames.h"
#include "framework/Handles.h"
#include "framework/LogFile.h"
#include "framework/RegistryKey.h"
#include "framework/RegistryWrite.h"
#include "framework/SystemErrorText.h"

#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <vector>

namespace {

// What the installers need of the key. Not WRITE_DAC or WRITE_OWNER: with
// those anyone could keep the key open for good.
constexpr DWORD kInstallerAccess = KEY_READ | KEY_WRITE | DELETE;
constexpr SECURITY_INFORMATION kSavedParts = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

// The system's text for an error, without the line break it ends with.
std::wstring Reason(DWORD error)
{
    std::wstring text = SystemErrorText(error);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text;
}

// The security functions take the name as a writable string.
std::vector<wchar_t> Writable(const wchar_t* objectName)
{
    const std::wstring name(objectName);
    return std::vector<wchar_t>(name.c_str(), name.c_str() + name.size() + 1);
}

// The key's owner and access list as SDDL; the system's error code when they
// cannot be read.
DWORD ReadDescriptor(const wchar_t* objectName, std::wstring& sddl)
{
    std::vector<wchar_t> name = Writable(objectName);
    qxt::UniqueLocalMemory descriptor;
    const DWORD read = ::GetNamedSecurityInfoW(name.data(), SE_REGISTRY_KEY, kSavedParts, nullptr, nullptr,
                                               nullptr, nullptr, descriptor.Put());
    if (read != ERROR_SUCCESS)
        return read;
    wchar_t* text = nullptr;
    if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor.Get(), SDDL_REVISION_1, kSavedParts,
                                                                &text, nullptr))
        return ::GetLastError();
    qxt::UniqueLocalMemory textMemory(text);
    sddl = text;
    return ERROR_SUCCESS;
}

bool ReadSaved(const wchar_t* objectName, std::wstring& sddl)
{
    qxt::UniqueHkey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSavedKeyAccessKey, 0, KEY_QUERY_VALUE, key.Put()) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key.Get(), objectName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ || size < sizeof(wchar_t))
        return false;
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
    if (::RegQueryValueExW(key.Get(), objectName, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
        ERROR_SUCCESS)
        return false;
    sddl = text.data();
    return true;
}

bool Save(const wchar_t* objectName, const std::wstring& sddl)
{
    RegistryKey key;
    if (!key.Create(HKEY_LOCAL_MACHINE, kSavedKeyAccessKey)) {
        LogError(L"Registry key HKLM\\%ls: cannot be created: %ls", kSavedKeyAccessKey, Reason(::GetLastError()).c_str());
        return false;
    }
    return WriteRegistryString(key, objectName, sddl);
}

void Forget(const wchar_t* objectName)
{
    RegistryKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, kSavedKeyAccessKey))
        return;
    const LONG deleted = ::RegDeleteValueW(key.Key(), objectName);
    if (deleted != ERROR_SUCCESS) {
        LogError(L"Registry delete HKLM\\%ls: %ls: failed: %ls", kSavedKeyAccessKey, objectName,
                 Reason(static_cast<DWORD>(deleted)).c_str());
        return;
    }
    LogLine(L"Registry delete HKLM\\%ls: %ls", kSavedKeyAccessKey, objectName);
    // Nothing left open: the key itself goes too.
    DWORD values = 0;
    if (::RegQueryInfoKeyW(key.Key(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                           nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
        values == 0) {
        key.Close();
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kSavedKeyAccessKey);
    }
}

// Adds the installers' entry for Everyone to the key's present access list.
DWORD AddEveryoneEntry(const wchar_t* objectName)
{
    std::vector<wchar_t> name = Writable(objectName);
    PACL present = nullptr;
    qxt::UniqueLocalMemory descriptor;
    DWORD result = ::GetNamedSecurityInfoW(name.data(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                           &present, nullptr, descriptor.Put());
    if (result != ERROR_SUCCESS)
        return result;

    // Everyone by its well-known SID (S-1-1-0): the account's name is translated on other systems.
    BYTE worldSid[SECURITY_MAX_SID_SIZE] = {};
    DWORD worldSidSize = sizeof worldSid;
    if (!::CreateWellKnownSid(WinWorldSid, nullptr, worldSid, &worldSidSize))
        return ::GetLastError();
    EXPLICIT_ACCESSW everyone{};
    everyone.grfAccessPermissions = kInstallerAccess;
    everyone.grfAccessMode = SET_ACCESS;
    everyone.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
    ::BuildTrusteeWithSidW(&everyone.Trustee, worldSid);
    everyone.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;

    PACL widened = nullptr;
    result = ::SetEntriesInAclW(1, &everyone, present, &widened);
    if (result != ERROR_SUCCESS)
        return result;
    qxt::UniqueLocalMemory widenedMemory(widened);
    return ::SetNamedSecurityInfoW(name.data(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                   widened, nullptr);
}

// Sets the owner (only when it differs: another owner than oneself needs a
// privilege) and the access list of the saved descriptor on the key.
DWORD PutBack(const wchar_t* objectName, PSECURITY_DESCRIPTOR saved)
{
    std::vector<wchar_t> name = Writable(objectName);
    PSID owner = nullptr;
    BOOL ownerDefaulted = FALSE;
    BOOL daclPresent = FALSE;
    PACL dacl = nullptr;
    BOOL daclDefaulted = FALSE;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!::GetSecurityDescriptorOwner(saved, &owner, &ownerDefaulted) ||
        !::GetSecurityDescriptorDacl(saved, &daclPresent, &dacl, &daclDefaulted) ||
        !::GetSecurityDescriptorControl(saved, &control, &revision))
        return ::GetLastError();

    DWORD result = ERROR_SUCCESS;
    PSID presentOwner = nullptr;
    qxt::UniqueLocalMemory present;
    if (owner != nullptr) {
        result = ::GetNamedSecurityInfoW(name.data(), SE_REGISTRY_KEY, OWNER_SECURITY_INFORMATION, &presentOwner,
                                         nullptr, nullptr, nullptr, present.Put());
        if (result == ERROR_SUCCESS && !::EqualSid(owner, presentOwner))
            result = ::SetNamedSecurityInfoW(name.data(), SE_REGISTRY_KEY, OWNER_SECURITY_INFORMATION, owner,
                                             nullptr, nullptr, nullptr);
    }
    // Protected or not as it was; a key without any access list gets none again.
    const SECURITY_INFORMATION daclParts =
        DACL_SECURITY_INFORMATION | ((control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                   : UNPROTECTED_DACL_SECURITY_INFORMATION);
    const DWORD daclResult = ::SetNamedSecurityInfoW(name.data(), SE_REGISTRY_KEY, daclParts, nullptr, nullptr,
                                                     daclPresent ? dacl : nullptr, nullptr);
    return result != ERROR_SUCCESS ? result : daclResult;
}

}  // namespace

bool GrantInstallerKeyAccess(const wchar_t* objectName)
{
    std::wstring original;
    if (ReadSaved(objectName, original)) {
        LogLine(L"Access list of %ls: the one saved before an earlier run stays saved: %ls", objectName,
                original.c_str());
    } else {
        const DWORD read = ReadDescriptor(objectName, original);
        if (read != ERROR_SUCCESS) {
            LogError(L"Access list of %ls: cannot be read: %ls", objectName, Reason(read).c_str());
            return false;
        }
        if (!Save(objectName, original))
            return false;
    }

    const DWORD widened = AddEveryoneEntry(objectName);
    if (widened != ERROR_SUCCESS) {
        LogError(L"Access list of %ls: Everyone cannot be let in: %ls", objectName, Reason(widened).c_str());
        return false;
    }
    LogLine(L"Access list of %ls: Everyone may read, write, create sub-keys and delete while the installers run "
            L"(saved: %ls)",
            objectName, original.c_str());
    return true;
}

bool RestoreInstallerKeyAccess(const wchar_t* objectName)
{
    std::wstring saved;
    if (!ReadSaved(objectName, saved))
        return true;

    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(saved.c_str(), SDDL_REVISION_1, &descriptor,
                                                                nullptr)) {
        // Nothing can ever be put back from it; kept, it would stand in for the original at every run.
        LogError(L"Access list of %ls: the saved one cannot be used (%ls): %ls", objectName, saved.c_str(),
                 Reason(::GetLastError()).c_str());
        Forget(objectName);
        return false;
    }
    qxt::UniqueLocalMemory descriptorMemory(descriptor);

    const DWORD set = PutBack(objectName, descriptor);
    std::wstring now;
    const DWORD read = ReadDescriptor(objectName, now);
    if (set == ERROR_SUCCESS && read == ERROR_SUCCESS && now == saved) {
        LogLine(L"Access list of %ls: put back: %ls", objectName, saved.c_str());
        Forget(objectName);
        return true;
    }
    const std::wstring reason = Reason(set != ERROR_SUCCESS ? set : read);
    LogError(L"Access list of %ls: not put back (%ls): expected %ls, found %ls", objectName,
             set != ERROR_SUCCESS || read != ERROR_SUCCESS ? reason.c_str() : L"it differs", saved.c_str(),
             read == ERROR_SUCCESS ? now.c_str() : L"(unreadable)");
    return false;
}

bool RestoreLeftInstallerKeyAccess()
{
    std::vector<std::wstring> names;
    {
        qxt::UniqueHkey key;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSavedKeyAccessKey, 0, KEY_QUERY_VALUE, key.Put()) != ERROR_SUCCESS)
            return true;
        for (DWORD index = 0;; ++index) {
            std::vector<wchar_t> name(16384);  // the longest value name the registry allows, and its NUL
            DWORD length = static_cast<DWORD>(name.size());
            if (::RegEnumValueW(key.Get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            names.emplace_back(name.data(), length);
        }
    }
    bool restored = true;
    for (const std::wstring& name : names) {
        LogLine(L"Access list of %ls: left open by a run that did not end", name.c_str());
        restored &= RestoreInstallerKeyAccess(name.c_str());
    }
    return restored;
}
