#include "trust/ServerHost.h"

#include "framework/EmbeddedSignature.h"
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

// osslsigncode's -addUnauthenticatedBlob attribute, into which tools/stamp-host writes the host.
const char kHostBlobOid[] = "1.3.6.1.4.1.42921.1.2.1";

// The blob's host follows this marker. Held as UTF-16 only: its bytes must
// occur nowhere in the image but inside the blob, where the stamper puts them.
const wchar_t kHostBlobMarker[] = L"QXT-SERVER-HOST=";

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

ServerHostSource ReadServerHostOf(const wchar_t* path, std::wstring& host)
{
    std::string blob;
    switch (ReadUnauthenticatedAttribute(path, kHostBlobOid, blob)) {
    case SignerAttribute::NotSigned:
        return ReadHostTrailer(path, host) ? ServerHostSource::Trailer : ServerHostSource::BuiltIn;
    case SignerAttribute::Missing:
        return ServerHostSource::BuiltIn;
    case SignerAttribute::Found:
        break;
    }
    // The stamped host is not trusted, only located: the signature is not
    // checked, and the host is taken byte by byte as the trailer's is.
    const size_t markerLength = std::char_traits<wchar_t>::length(kHostBlobMarker);
    for (size_t at = 0; at + markerLength <= blob.size(); ++at) {
        size_t matched = 0;
        while (matched < markerLength &&
               static_cast<unsigned char>(blob[at + matched]) == static_cast<unsigned>(kHostBlobMarker[matched]))
            ++matched;
        if (matched < markerLength)
            continue;
        // The host ends at the first blank or control byte: the stamper fills the rest with zeros.
        std::wstring found;
        for (size_t i = at + markerLength; i < blob.size(); ++i) {
            const unsigned char byte = static_cast<unsigned char>(blob[i]);
            if (byte <= 0x20 || byte == 0x7F)
                break;
            found.push_back(static_cast<wchar_t>(byte));
        }
        host = found;
        return ServerHostSource::Signature;
    }
    return ServerHostSource::BuiltIn;
}

ServerHostSource ReadServerHost(std::wstring& host)
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return ReadServerHostOf(path, host);
}
