// Registry keys: an open key under a root, with the path it was opened with,
// and the one flag value the prerequisite checks read.
#pragma once

#include <windows.h>

class RegistryKey {
public:
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() { Close(); }

    // Opens root\subKey with full access; without a sub-key the root itself.
    bool Open(HKEY root, const wchar_t* subKey = nullptr);
    // Creates root\subKey when missing and opens it with full access.
    bool Create(HKEY root, const wchar_t* subKey);
    void Close();

    HKEY Key() const { return m_key; }
    HKEY Root() const { return m_root; }
    const wchar_t* Path() const { return m_path; }

private:
    WCHAR m_path[MAX_PATH] = {};
    HKEY m_key = nullptr;
    HKEY m_root = nullptr;
};

// Reads the DWORD value "Install" of HKEY_LOCAL_MACHINE\subKey.
bool ReadRegistryDword(const wchar_t* subKey, DWORD* value);
