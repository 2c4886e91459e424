// The name of this program's executable without folder or extension: the
// default user agent and the message boxes' fallback caption.
#pragma once

#include <string>

// The file name of path without folder (either slash) and without its last
// extension; a name that is only an extension (".exe") is kept whole.
std::wstring FileBaseName(const std::wstring& path);

// FileBaseName of the running executable.
std::wstring ExecutableBaseName();
