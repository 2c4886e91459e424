// The access list of HKLM\SOFTWARE\Microsoft\Internet Explorer\MAIN as SDDL:
// the key the .NET step opens to Everyone while its installers run. Header
// only, so that the stand-in installer (no test library) reads it the same way.
#pragma once

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <string>

inline std::wstring IeMainAcl()
{
    wchar_t name[] = L"MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer\\MAIN";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL dacl = nullptr;
    if (::GetNamedSecurityInfoW(name, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                                &descriptor) != ERROR_SUCCESS)
        return L"(unreadable)";
    wchar_t* sddl = nullptr;
    std::wstring text = L"(unconvertible)";
    if (::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                               &sddl, nullptr)) {
        text = sddl;
        ::LocalFree(sddl);
    }
    ::LocalFree(descriptor);
    return text;
}
