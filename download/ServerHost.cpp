#include "download/ServerHost.h"

#include "framework/File.h"

#include <windows.h>

// The shipped executable's trailer names the same host, so the two are interchangeable.
const wchar_t kDefaultServerHost[] = L"dl.quolix.cn";

namespace {

// The trailer's marker lies in the last this many bytes of the file.
constexpr LONGLONG kTrailerWindow = 260;
constexpr BYTE kMarker = 0x24;  // '$'

bool IsTrimmedSpace(wchar_t c)
{
    return c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r' || c == L' ' || c == 0x00A0;
}

void TrimSpace(std::wstring& text)
{
    size_t end = text.size();
    while (end > 0 && IsTrimmedSpace(text[end - 1]))
        --end;
    text.erase(end);
    size_t begin = 0;
    while (begin < text.size() && IsTrimmedSpace(text[begin]))
        ++begin;
    text.erase(0, begin);
}

}  // namespace

bool ReadHostTrailer(const wchar_t* path, std::wstring& host)
{
    CFile file;
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary))
        return false;

    // A read error is a file without a trailer: the host stays as it was.
    // A file shorter than the window is searched from its first byte.
    ULONGLONG length = 0;
    if (!file.GetLength(length))
        return false;
    const LONGLONG start = length > kTrailerWindow ? static_cast<LONGLONG>(length) - kTrailerWindow : 0;
    if (!file.Seek(start, CFile::begin))
        return false;

    BYTE byte = 0;
    UINT got = 0;
    for (;;) {
        if (!file.Read(&byte, 1, got) || got == 0)
            return false;
        if (byte == kMarker)
            break;
    }

    // Every byte after the marker, another '$' included, is one character of the host.
    std::wstring found;
    for (;;) {
        if (!file.Read(&byte, 1, got))
            return false;
        if (got == 0)
            break;
        found.push_back(static_cast<wchar_t>(byte));
    }
    TrimSpace(found);
    host = found;
    return true;
}

bool ReadServerHost(std::wstring& host)
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return ReadHostTrailer(path, host);
}
