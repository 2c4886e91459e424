// SHA-256 through the platform's CNG: of bytes in memory, of a stream of
// pieces, and of a file.
#pragma once

#include "framework/CngHandles.h"

#include <windows.h>

#include <array>
#include <cstddef>
#include <string>

using Sha256Digest = std::array<BYTE, 32>;

// A digest taken piece by piece. Any failure of the platform sticks: Finish
// then answers false.
class Sha256Hash {
public:
    Sha256Hash();
    Sha256Hash(const Sha256Hash&) = delete;
    Sha256Hash& operator=(const Sha256Hash&) = delete;

    void Update(const void* data, size_t size);
    // The digest of everything passed to Update; the object is done after it.
    bool Finish(Sha256Digest& digest);

private:
    qxt::UniqueBCryptAlgorithm m_algorithm;
    qxt::UniqueBCryptHash m_hash;
    bool m_failed = false;
};

bool Sha256OfBytes(const void* data, size_t size, Sha256Digest& digest);

// The digest and the length of a file's contents, read through one handle
// that others may read but not write while it is open. False when the file
// cannot be opened or read (GetLastError tells why), or once *stop is set
// (read between chunks).
bool Sha256OfFile(const wchar_t* path, Sha256Digest& digest, ULONGLONG& length,
                  const volatile LONG* stop = nullptr);

// Lower-case hexadecimal, two digits a byte.
std::wstring HexText(const BYTE* bytes, size_t size);
inline std::wstring HexText(const Sha256Digest& digest)
{
    return HexText(digest.data(), digest.size());
}
