// Reading registry values back exactly (type and bytes), and scratch keys that
// a test owns for its duration.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qxt::test {

struct RegistryValue {
    bool exists = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;

    // REG_SZ of that text including its NUL.
    static RegistryValue String(const std::wstring& text);
    static RegistryValue Dword(DWORD value);
    bool operator==(const RegistryValue&) const = default;
};
// gtest prints the type and the bytes.
void PrintTo(const RegistryValue& value, std::ostream* out);

RegistryValue ReadValue(HKEY root, const std::wstring& key, const std::wstring& name);
bool KeyExists(HKEY root, const std::wstring& key);
// Writes raw bytes of any type (creating the key).
bool WriteValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type, const void* data,
                DWORD size);
bool WriteString(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& text);
bool WriteDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value);
// Names of the key's values (any order).
std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& key);

// A key the test owns: it must not exist when the test begins (its top-most
// missing parent is remembered) and is deleted with that parent at the end.
class ScratchKey {
public:
    ScratchKey(HKEY root, std::wstring path);
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;
    ~ScratchKey();

    // Deletes the key and every parent the test made.
    void Remove();
    const std::wstring& Path() const { return m_path; }
    bool ExistedBefore() const { return m_existed; }

private:
    HKEY m_root;
    std::wstring m_path;
    std::wstring m_firstMissing;  // the highest level that did not exist; deleted as a tree
    bool m_existed = false;
};

}  // namespace qxt::test
