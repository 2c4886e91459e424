// One line of the manifest Client.txt: a file name and its MD5 digest.
#pragma once

#include <string>

struct ClientFileEntry {
    std::wstring name;    // before the first "|" (the whole line when there is none)
    std::wstring digest;  // after the first "|", further "|" included
    bool hasSeparator = false;
};

// Splits a trimmed manifest line at its first "|".
ClientFileEntry ParseClientFileEntry(const std::wstring& line);

// True when the name addresses a file inside the install folder: not empty,
// not absolute, no drive or UNC prefix, no colon (which also rules out
// alternate data streams), no ".." component, whichever slash separates it,
// and no component that names a device (NUL, CON, COM1, "aux.txt" and so on).
bool IsInstallableName(const std::wstring& name);

// Removes the manifest's white space (tab, LF, VT, FF, CR, space, U+00A0) at both ends.
std::wstring TrimManifestWhiteSpace(const std::wstring& text);
