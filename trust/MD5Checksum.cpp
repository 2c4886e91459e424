#include "trust/MD5Checksum.h"

#include "framework/File.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

// Large reads: the per-read cost of the file system, not the transform,
// bounded the digest's speed at 1 KiB a read.
constexpr UINT kChunkSize = 64 * 1024;

// One rotate instruction; ULONG is 32 bits wide on Windows.
inline ULONG RotateLeft(ULONG x, int n)
{
    return std::rotl(static_cast<uint32_t>(x), n);
}

// One step of each of the four rounds of RFC 1321. The sum of the message
// word and the constant does not depend on the previous step, so it is added
// first; the dependency chain per step is then the round function, one add,
// the rotation and the final add. G is written with "+" over two disjoint
// bit sets (the same value as the RFC's "|") so that both halves run in
// parallel, and F in the equivalent form with one operation less.
inline void FF(ULONG& a, ULONG b, ULONG c, ULONG d, ULONG x, int s, ULONG t)
{
    a += x + t;
    a += d ^ (b & (c ^ d));
    a = b + RotateLeft(a, s);
}
inline void GG(ULONG& a, ULONG b, ULONG c, ULONG d, ULONG x, int s, ULONG t)
{
    a += x + t;
    a += (c & ~d);
    a += (b & d);
    a = b + RotateLeft(a, s);
}
inline void HH(ULONG& a, ULONG b, ULONG c, ULONG d, ULONG x, int s, ULONG t)
{
    a += x + t;
    a += b ^ c ^ d;
    a = b + RotateLeft(a, s);
}
inline void II(ULONG& a, ULONG b, ULONG c, ULONG d, ULONG x, int s, ULONG t)
{
    a += x + t;
    a += c ^ (b | ~d);
    a = b + RotateLeft(a, s);
}

}  // namespace

std::wstring CMD5Checksum::DigestFile(const wchar_t* path)
{
    CFile file;
    // Others may go on reading and writing: a client file that a running
    // program has loaded is still digested, and kept when it is current.
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary))
        return std::wstring();

    CMD5Checksum checksum;
    // On the heap: the worker thread's stack is not the place for 64 KiB.
    const std::unique_ptr<BYTE[]> chunk(new BYTE[kChunkSize]);
    for (;;) {
        UINT got = 0;
        if (!file.Read(chunk.get(), kChunkSize, got))
            return std::wstring();
        if (got == 0)
            break;
        checksum.Update(chunk.get(), got);
    }
    file.Close();
    return checksum.Final();
}

bool CMD5Checksum::FileHasDigest(const wchar_t* path, const wchar_t* digest)
{
    const std::wstring local = DigestFile(path);
    return !local.empty() && ::CompareStringOrdinal(local.c_str(), -1, digest, -1, TRUE) == CSTR_EQUAL;
}

CMD5Checksum::CMD5Checksum()
{
    std::memset(m_lpszBuffer, 0, sizeof m_lpszBuffer);
    m_nCount[0] = m_nCount[1] = 0;
    m_lMD5[0] = 0x67452301;
    m_lMD5[1] = 0xEFCDAB89;
    m_lMD5[2] = 0x98BADCFE;
    m_lMD5[3] = 0x10325476;
}

void CMD5Checksum::Update(const BYTE* input, ULONG length)
{
    if (length == 0)
        return;
    const ULONG index = (m_nCount[0] >> 3) & 0x3F;
    if ((m_nCount[0] += length << 3) < (length << 3))
        ++m_nCount[1];
    m_nCount[1] += length >> 29;

    // Complete a block begun earlier, then take whole blocks straight from
    // the input and keep the rest.
    ULONG i = 0;
    if (index != 0) {
        const ULONG partLength = 64 - index;
        if (length < partLength) {
            std::memcpy(&m_lpszBuffer[index], input, length);
            return;
        }
        std::memcpy(&m_lpszBuffer[index], input, partLength);
        Transform(m_lpszBuffer);
        i = partLength;
    }
    for (; length - i >= 64; i += 64)
        Transform(&input[i]);
    std::memcpy(m_lpszBuffer, &input[i], length - i);
}

std::wstring CMD5Checksum::Final()
{
    BYTE bits[8];
    for (int i = 0; i < 8; ++i)
        bits[i] = static_cast<BYTE>(m_nCount[i / 4] >> (8 * (i % 4)));

    static const BYTE padding[64] = {0x80};
    const ULONG index = (m_nCount[0] >> 3) & 0x3F;
    const ULONG padLength = index < 56 ? 56 - index : 120 - index;
    Update(padding, padLength);
    Update(bits, 8);

    static const wchar_t hex[] = L"0123456789ABCDEF";
    std::wstring text;
    text.reserve(32);
    for (ULONG word : m_lMD5) {
        for (int i = 0; i < 4; ++i) {
            const BYTE b = static_cast<BYTE>(word >> (8 * i));
            text.push_back(hex[b >> 4]);
            text.push_back(hex[b & 0x0F]);
        }
    }
    return text;
}

void CMD5Checksum::Transform(const BYTE block[64])
{
    // The sixteen little-endian words are read straight from the block where
    // they are used (x86 is little-endian), saving a copy of the whole block.
    auto X = [block](int i) {
        ULONG word;
        std::memcpy(&word, block + 4 * i, sizeof word);
        return word;
    };

    ULONG a = m_lMD5[0], b = m_lMD5[1], c = m_lMD5[2], d = m_lMD5[3];

    FF(a, b, c, d, X(0), 7, 0xD76AA478);
    FF(d, a, b, c, X(1), 12, 0xE8C7B756);
    FF(c, d, a, b, X(2), 17, 0x242070DB);
    FF(b, c, d, a, X(3), 22, 0xC1BDCEEE);
    FF(a, b, c, d, X(4), 7, 0xF57C0FAF);
    FF(d, a, b, c, X(5), 12, 0x4787C62A);
    FF(c, d, a, b, X(6), 17, 0xA8304613);
    FF(b, c, d, a, X(7), 22, 0xFD469501);
    FF(a, b, c, d, X(8), 7, 0x698098D8);
    FF(d, a, b, c, X(9), 12, 0x8B44F7AF);
    FF(c, d, a, b, X(10), 17, 0xFFFF5BB1);
    FF(b, c, d, a, X(11), 22, 0x895CD7BE);
    FF(a, b, c, d, X(12), 7, 0x6B901122);
    FF(d, a, b, c, X(13), 12, 0xFD987193);
    FF(c, d, a, b, X(14), 17, 0xA679438E);
    FF(b, c, d, a, X(15), 22, 0x49B40821);

    GG(a, b, c, d, X(1), 5, 0xF61E2562);
    GG(d, a, b, c, X(6), 9, 0xC040B340);
    GG(c, d, a, b, X(11), 14, 0x265E5A51);
    GG(b, c, d, a, X(0), 20, 0xE9B6C7AA);
    GG(a, b, c, d, X(5), 5, 0xD62F105D);
    GG(d, a, b, c, X(10), 9, 0x02441453);
    GG(c, d, a, b, X(15), 14, 0xD8A1E681);
    GG(b, c, d, a, X(4), 20, 0xE7D3FBC8);
    GG(a, b, c, d, X(9), 5, 0x21E1CDE6);
    GG(d, a, b, c, X(14), 9, 0xC33707D6);
    GG(c, d, a, b, X(3), 14, 0xF4D50D87);
    GG(b, c, d, a, X(8), 20, 0x455A14ED);
    GG(a, b, c, d, X(13), 5, 0xA9E3E905);
    GG(d, a, b, c, X(2), 9, 0xFCEFA3F8);
    GG(c, d, a, b, X(7), 14, 0x676F02D9);
    GG(b, c, d, a, X(12), 20, 0x8D2A4C8A);

    HH(a, b, c, d, X(5), 4, 0xFFFA3942);
    HH(d, a, b, c, X(8), 11, 0x8771F681);
    HH(c, d, a, b, X(11), 16, 0x6D9D6122);
    HH(b, c, d, a, X(14), 23, 0xFDE5380C);
    HH(a, b, c, d, X(1), 4, 0xA4BEEA44);
    HH(d, a, b, c, X(4), 11, 0x4BDECFA9);
    HH(c, d, a, b, X(7), 16, 0xF6BB4B60);
    HH(b, c, d, a, X(10), 23, 0xBEBFBC70);
    HH(a, b, c, d, X(13), 4, 0x289B7EC6);
    HH(d, a, b, c, X(0), 11, 0xEAA127FA);
    HH(c, d, a, b, X(3), 16, 0xD4EF3085);
    HH(b, c, d, a, X(6), 23, 0x04881D05);
    HH(a, b, c, d, X(9), 4, 0xD9D4D039);
    HH(d, a, b, c, X(12), 11, 0xE6DB99E5);
    HH(c, d, a, b, X(15), 16, 0x1FA27CF8);
    HH(b, c, d, a, X(2), 23, 0xC4AC5665);

    II(a, b, c, d, X(0), 6, 0xF4292244);
    II(d, a, b, c, X(7), 10, 0x432AFF97);
    II(c, d, a, b, X(14), 15, 0xAB9423A7);
    II(b, c, d, a, X(5), 21, 0xFC93A039);
    II(a, b, c, d, X(12), 6, 0x655B59C3);
    II(d, a, b, c, X(3), 10, 0x8F0CCC92);
    II(c, d, a, b, X(10), 15, 0xFFEFF47D);
    II(b, c, d, a, X(1), 21, 0x85845DD1);
    II(a, b, c, d, X(8), 6, 0x6FA87E4F);
    II(d, a, b, c, X(15), 10, 0xFE2CE6E0);
    II(c, d, a, b, X(6), 15, 0xA3014314);
    II(b, c, d, a, X(13), 21, 0x4E0811A1);
    II(a, b, c, d, X(4), 6, 0xF7537E82);
    II(d, a, b, c, X(11), 10, 0xBD3AF235);
    II(c, d, a, b, X(2), 15, 0x2AD7D2BB);
    II(b, c, d, a, X(9), 21, 0xEB86D391);

    m_lMD5[0] += a;
    m_lMD5[1] += b;
    m_lMD5[2] += c;
    m_lMD5[3] += d;
}
