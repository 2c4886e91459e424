// Registry keys: one we opened and must close, with the root and path it was
// opened with; one that belongs to someone else (a root) and is never closed;
// and the one flag value the prerequisite checks read.
#pragma once

#include "framework/Handles.h"

#include <windows.h>

// A key this object opened or created under a root; it closes the key.
class RegistryKey {
public:
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() { Close(); }

    // Opens root\subKey with full access. A sub-key is required: the root
    // itself is not ours to close (see BorrowedRegistryKey). On failure the
    // thread's last error is the system's reason.
    bool Open(HKEY root, const wchar_t* subKey);
    // Creates root\subKey when missing and opens it with full access; the
    // last error as for Open.
    bool Create(HKEY root, const wchar_t* subKey);
    void Close();

    HKEY Key() const { return m_key.Get(); }
    HKEY Root() const { return m_root; }
    const wchar_t* Path() const { return m_path; }

private:
    WCHAR m_path[MAX_PATH] = {};
    qxt::UniqueHkey m_key;
    HKEY m_root = nullptr;
};

// A key that belongs to the caller or the system (a predefined root, a key
// another object holds open): used as it is and never closed.
class BorrowedRegistryKey {
public:
    explicit BorrowedRegistryKey(HKEY key) : m_key(key) {}

    HKEY Key() const { return m_key; }

private:
    HKEY m_key;
};

// Reads the DWORD value "Install" of HKEY_LOCAL_MACHINE\subKey.
bool ReadRegistryInstallValue(const wchar_t* subKey, DWORD* value);
