#include "trust/ClientFileEntry.h"

#include "framework/DeviceName.h"

namespace {

constexpr wchar_t kWhiteSpace[] = L"\t\n\v\f\r \u00A0";

// A component Windows would read as another one: an empty one ("a//b", "a/"),
// or one that ends in a dot or a blank, which Windows drops ("./a" is "a",
// "a." is "a", ".. " is ".."). Two such spellings of one file would be two
// entries for it, and a name made of dots would leave the install folder.
bool IsAmbiguousComponent(const std::wstring& component)
{
    return component.empty() || component.back() == L'.' || component.back() == L' ';
}

// Characters no Windows file name holds: controls, and those FindFirstFileW
// takes as a pattern ("*", "?", and "<", ">", '"', which it reads as DOS
// wildcards), so that a lookup would find some other file.
bool HasForbiddenCharacter(const std::wstring& name)
{
    for (wchar_t c : name) {
        if (c < 0x20 || c == L'*' || c == L'?' || c == L'<' || c == L'>' || c == L'"')
            return true;
    }
    return false;
}

bool IsHexDigit(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

}  // namespace

ClientFileEntry ParseClientFileEntry(const std::wstring& line)
{
    ClientFileEntry entry;
    const size_t bar = line.find(L'|');
    if (bar == std::wstring::npos) {
        entry.name = line;
        return entry;
    }
    entry.name = line.substr(0, bar);
    entry.digest = line.substr(bar + 1);
    entry.hasSeparator = true;
    return entry;
}

bool IsInstallableName(const std::wstring& name)
{
    if (name.empty() || name[0] == L'\\' || name[0] == L'/')
        return false;
    if (name.find(L':') != std::wstring::npos || HasForbiddenCharacter(name))
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of(L"\\/", start);
        if (end == std::wstring::npos)
            end = name.size();
        const std::wstring component = name.substr(start, end - start);
        if (IsAmbiguousComponent(component) || IsDeviceName(component))
            return false;
        start = end + 1;
    }
    return true;
}

bool IsManifestDigest(const std::wstring& digest)
{
    if (digest.size() != 32)
        return false;
    for (wchar_t c : digest) {
        if (!IsHexDigit(c))
            return false;
    }
    return true;
}

const wchar_t* ClientFileEntryProblem(const ClientFileEntry& entry)
{
    if (!entry.hasSeparator)
        return L"no \"|\" between a name and a digest";
    if (!IsInstallableName(entry.name))
        return L"the name is no file of the install folder";
    if (!IsManifestDigest(entry.digest))
        return L"the digest is not 32 hexadecimal digits";
    return nullptr;
}

std::wstring TrimManifestWhiteSpace(const std::wstring& text)
{
    const size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::wstring::npos)
        return {};
    const size_t last = text.find_last_not_of(kWhiteSpace);
    return text.substr(first, last - first + 1);
}
