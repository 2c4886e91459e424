// The version resource of an executable file.
#pragma once

#include <windows.h>

// Reads the fixed version information of a file; the output is untouched on failure.
bool GetFileVersion(const wchar_t* path, VS_FIXEDFILEINFO* version);
