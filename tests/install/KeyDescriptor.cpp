#include "tests/install/KeyDescriptor.h"

#include <aclapi.h>
#include <sddl.h>

namespace qxt::test {

namespace {
constexpr SECURITY_INFORMATION kOwnerAndAccess = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
}  // namespace

std::wstring OwnerAndAccess(const std::wstring& objectName)
{
    std::wstring name = objectName;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(name.data(), SE_REGISTRY_KEY, kOwnerAndAccess, nullptr, nullptr, nullptr, nullptr,
                                &descriptor) != ERROR_SUCCESS)
        return L"(unreadable)";
    wchar_t* sddl = nullptr;
    std::wstring text = L"(unconvertible)";
    if (::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, kOwnerAndAccess, &sddl,
                                                               nullptr)) {
        text = sddl;
        ::LocalFree(sddl);
    }
    ::LocalFree(descriptor);
    return text;
}

bool SetDescriptor(const std::wstring& objectName, SECURITY_INFORMATION parts, const wchar_t* sddl)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    ::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted);
    ::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
    std::wstring name = objectName;
    const DWORD result = ::SetNamedSecurityInfoW(name.data(), SE_REGISTRY_KEY, parts, owner, nullptr, dacl, nullptr);
    ::LocalFree(descriptor);
    return result == ERROR_SUCCESS;
}

void PrintTo(const Entry& entry, std::ostream* out)
{
    *out << "mask 0x" << std::hex << entry.mask << ", flags 0x" << static_cast<int>(entry.flags) << std::dec;
}

std::vector<Entry> EveryoneEntries(const std::wstring& sddl)
{
    std::vector<Entry> entries;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return entries;
    BYTE world[SECURITY_MAX_SID_SIZE] = {};
    DWORD worldSize = sizeof world;
    ::CreateWellKnownSid(WinWorldSid, nullptr, world, &worldSize);
    PACL dacl = nullptr;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    if (::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && present && dacl) {
        for (DWORD i = 0; i < dacl->AceCount; ++i) {
            void* ace = nullptr;
            if (!::GetAce(dacl, i, &ace))
                continue;
            auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
            if (allowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE && ::EqualSid(&allowed->SidStart, world))
                entries.push_back({allowed->Mask, allowed->Header.AceFlags});
        }
    }
    ::LocalFree(descriptor);
    return entries;
}

}  // namespace qxt::test
