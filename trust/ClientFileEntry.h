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

// True when the name addresses a file inside the install folder in the one
// spelling the list may use: not empty, not absolute, no drive or UNC prefix,
// no colon (which also rules out alternate data streams), whichever slash
// separates it, no empty component ("a//b", a trailing slash), no component
// that ends in a dot or a blank (".", "..", "./a", "a.", "a " are read by
// Windows as another name), no component that names a device (NUL, CON,
// COM1, COM¹, "aux.txt" and so on), and no control character or pattern
// character ("*", "?", "<", ">", '"').
bool IsInstallableName(const std::wstring& name);

// True for an MD5 digest as the manifest writes it: exactly 32 hexadecimal
// digits, in either case.
bool IsManifestDigest(const std::wstring& digest);

// Why a parsed manifest line is not an entry the loop can use (no "|", a name
// outside the install folder, a digest that is not one), or nullptr when it is.
const wchar_t* ClientFileEntryProblem(const ClientFileEntry& entry);

// Removes the manifest's white space (tab, LF, VT, FF, CR, space, U+00A0) at both ends.
std::wstring TrimManifestWhiteSpace(const std::wstring& text);
