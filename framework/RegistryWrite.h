// Writing one registry value with a line in the run log that says what was
// written, or that it could not be, with the system's reason.
#pragma once

#include "framework/RegistryKey.h"

#include <windows.h>

#include <string>

// "HKLM", "HKCU" and the other predefined roots by their short names, for the log.
const wchar_t* RegistryRootName(HKEY root);

// Writes name = text as REG_SZ with its terminating NUL into the open key and
// logs "Registry write ROOT\path: name = text"; a write the system refuses is
// logged as an error with its text. True when the value was written.
bool WriteRegistryString(const RegistryKey& key, const wchar_t* name, const std::wstring& text);

// The same for a REG_DWORD.
bool WriteRegistryDword(const RegistryKey& key, const wchar_t* name, DWORD value);
