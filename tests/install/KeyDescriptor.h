// The owner and access list of a registry key, read and set as SDDL, and the
// entries for Everyone in an access list: what the tests of the keys opened
// to the installers look at.
#pragma once

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

namespace qxt::test {

// The owner and the access list of a key ("MACHINE\SOFTWARE\...") as SDDL, as
// the product saves them; "(unreadable)" when they cannot be read.
std::wstring OwnerAndAccess(const std::wstring& objectName);

// Sets parts (owner, access list) of an SDDL descriptor on the key, as an
// installer (or anyone with the rights) would.
bool SetDescriptor(const std::wstring& objectName, SECURITY_INFORMATION parts, const wchar_t* sddl);

// An allowed entry: its rights and inheritance flags.
struct Entry {
    DWORD mask;
    BYTE flags;
    bool operator==(const Entry&) const = default;
};
void PrintTo(const Entry& entry, std::ostream* out);

// The allowed entries for Everyone in an SDDL descriptor's access list.
std::vector<Entry> EveryoneEntries(const std::wstring& sddl);

}  // namespace qxt::test
