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
    try {
        // A file shorter than the window is searched from its first byte.
        const ULONGLONG length = file.GetLength();
        const LONGLONG start = length > kTrailerWindow ? static_cast<LONGLONG>(length) - kTrailerWindow : 0;
        file.Seek(start, CFile::begin);

        BYTE byte = 0;
        for (;;) {
            if (file.Read(&byte, 1) == 0)
                return false;
            if (byte == kMarker)
                break;
        }

        // Every byte after the marker, another '$' included, is one character of the host.
        std::wstring found;
        while (file.Read(&byte, 1) == 1)
            found.push_back(static_cast<wchar_t>(byte));
        TrimSpace(found);
        host = found;
        return true;
    } catch (const CFileException&) {
        return false;
    }
}

bool ReadServerHost(std::wstring& host)
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return ReadHostTrailer(path, host);
}
