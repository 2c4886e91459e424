// MD5 (RFC 1321) of a file's contents as 32 upper-case hexadecimal characters.
#pragma once

#include <windows.h>
#include <string>

class CMD5Checksum {
public:
    // The digest of the file, or an empty text when it cannot be opened or a
    // read fails: either way the file cannot be shown to hold these bytes.
    static std::wstring DigestFile(const wchar_t* path);
    // Whether the file can be read and its digest is this text, in either case.
    static bool FileHasDigest(const wchar_t* path, const wchar_t* digest);

    CMD5Checksum();
    virtual ~CMD5Checksum() = default;

    void Update(const BYTE* input, ULONG length);
    std::wstring Final();

protected:
    void Transform(const BYTE block[64]);

private:
    BYTE m_lpszBuffer[64];
    ULONG m_nCount[2];  // bits so far, low word first
    ULONG m_lMD5[4];
};
