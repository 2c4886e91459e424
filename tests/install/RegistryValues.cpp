#include "tests/install/RegistryValues.h"

#include "framework/Handles.h"

#include <ostream>

namespace qxt::test {

RegistryValue RegistryValue::String(const std::wstring& text)
{
    RegistryValue value{true, REG_SZ, {}};
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    value.data.assign(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
    return value;
}

RegistryValue RegistryValue::Dword(DWORD number)
{
    RegistryValue value{true, REG_DWORD, {}};
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&number);
    value.data.assign(bytes, bytes + sizeof number);
    return value;
}

void PrintTo(const RegistryValue& value, std::ostream* out)
{
    if (!value.exists) {
        *out << "(missing)";
        return;
    }
    *out << "type " << value.type << ", " << value.data.size() << " bytes:";
    static const char kHex[] = "0123456789abcdef";
    for (BYTE b : value.data)
        *out << ' ' << kHex[b >> 4] << kHex[b & 15];
}

RegistryValue ReadValue(HKEY root, const std::wstring& key, const std::wstring& name)
{
    RegistryValue value;
    UniqueHkey opened;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, opened.Put()) != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    if (::RegQueryValueExW(opened.Get(), name.c_str(), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
        return value;
    value.data.resize(size);
    if (::RegQueryValueExW(opened.Get(), name.c_str(), nullptr, &value.type, value.data.data(), &size) !=
        ERROR_SUCCESS)
        return RegistryValue{};
    value.data.resize(size);
    value.exists = true;
    return value;
}

bool KeyExists(HKEY root, const std::wstring& key)
{
    UniqueHkey opened;
    return ::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, opened.Put()) == ERROR_SUCCESS;
}

bool WriteValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type, const void* data,
                DWORD size)
{
    UniqueHkey opened;
    if (::RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, opened.Put(), nullptr) !=
        ERROR_SUCCESS)
        return false;
    return ::RegSetValueExW(opened.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size) ==
           ERROR_SUCCESS;
}

bool WriteString(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& text)
{
    return WriteValue(root, key, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

bool WriteDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value)
{
    return WriteValue(root, key, name, REG_DWORD, &value, sizeof value);
}

std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& key)
{
    std::vector<std::wstring> names;
    UniqueHkey opened;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, opened.Put()) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD length = 16384;
        if (::RegEnumValueW(opened.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

ScratchKey::ScratchKey(HKEY root, std::wstring path) : m_root(root), m_path(std::move(path))
{
    m_existed = KeyExists(root, m_path);
    if (m_existed)
        return;
    // Walk up while the parent is missing too.
    m_firstMissing = m_path;
    for (;;) {
        const size_t slash = m_firstMissing.find_last_of(L'\\');
        if (slash == std::wstring::npos || KeyExists(root, m_firstMissing.substr(0, slash)))
            break;
        m_firstMissing.resize(slash);
    }
}

ScratchKey::~ScratchKey()
{
    Remove();
}

void ScratchKey::Remove()
{
    if (!m_existed)
        ::RegDeleteTreeW(m_root, m_firstMissing.c_str());
}

}  // namespace qxt::test
