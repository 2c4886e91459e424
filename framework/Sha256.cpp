#include "framework/Sha256.h"

#include "framework/File.h"

#include <limits>

Sha256Hash::Sha256Hash()
{
    m_failed = !BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(m_algorithm.Put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
               !BCRYPT_SUCCESS(::BCryptCreateHash(m_algorithm.Get(), m_hash.Put(), nullptr, 0, nullptr, 0, 0));
}

void Sha256Hash::Update(const void* data, size_t size)
{
    // BCryptHashData takes a 32-bit count: larger pieces go in several calls.
    const BYTE* bytes = static_cast<const BYTE*>(data);
    while (!m_failed && size > 0) {
        const ULONG piece = size > std::numeric_limits<ULONG>::max() ? std::numeric_limits<ULONG>::max()
                                                                     : static_cast<ULONG>(size);
        m_failed = !BCRYPT_SUCCESS(::BCryptHashData(m_hash.Get(), const_cast<BYTE*>(bytes), piece, 0));
        bytes += piece;
        size -= piece;
    }
}

bool Sha256Hash::Finish(Sha256Digest& digest)
{
    if (m_failed)
        return false;
    m_failed = true;
    return BCRYPT_SUCCESS(::BCryptFinishHash(m_hash.Get(), digest.data(), static_cast<ULONG>(digest.size()), 0));
}

bool Sha256OfBytes(const void* data, size_t size, Sha256Digest& digest)
{
    Sha256Hash hash;
    hash.Update(data, size);
    return hash.Finish(digest);
}

bool Sha256OfFile(const wchar_t* path, Sha256Digest& digest, ULONGLONG& length, const volatile LONG* stop)
{
    CFile file;
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyWrite | CFile::typeBinary))
        return false;
    Sha256Hash hash;
    constexpr UINT kChunk = 65536;
    // On the heap: the download thread's stack already holds a transfer buffer.
    std::string buffer(kChunk, '\0');
    length = 0;
    for (;;) {
        if (stop && *stop != 0) {
            ::SetLastError(ERROR_CANCELLED);
            return false;
        }
        UINT got = 0;
        if (!file.Read(buffer.data(), kChunk, got))
            return false;
        if (got == 0)
            break;
        hash.Update(buffer.data(), got);
        length += got;
    }
    if (!hash.Finish(digest)) {
        ::SetLastError(ERROR_INVALID_FUNCTION);
        return false;
    }
    return true;
}

std::wstring HexText(const BYTE* bytes, size_t size)
{
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text;
    text.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}
