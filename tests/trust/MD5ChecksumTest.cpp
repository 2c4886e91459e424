#include "trust/MD5Checksum.h"

#include "framework/Handles.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <wincrypt.h>

#include <cstdio>
#include <string>
#include <vector>

using qxt::test::TempDir;
using qxt::test::WriteFileBytes;

namespace {

std::wstring Widen(const char* ascii)
{
    return std::wstring(ascii, ascii + std::char_traits<char>::length(ascii));
}

std::wstring DigestOf(const std::string& bytes)
{
    CMD5Checksum checksum;
    checksum.Update(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<ULONG>(bytes.size()));
    return checksum.Final();
}

// The platform's own MD5 (CryptoAPI), an implementation independent of ours.
std::wstring PlatformDigest(const std::string& bytes)
{
    HCRYPTPROV provider = 0;
    if (!::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
        return L"(no provider)";
    HCRYPTHASH hash = 0;
    std::wstring text = L"(failed)";
    if (::CryptCreateHash(provider, CALG_MD5, 0, 0, &hash)) {
        BYTE digest[16];
        DWORD size = sizeof digest;
        if (::CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()), 0) &&
            ::CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0)) {
            text.clear();
            for (BYTE b : digest) {
                wchar_t two[3];
                std::swprintf(two, 3, L"%02X", b);
                text += two;
            }
        }
        ::CryptDestroyHash(hash);
    }
    ::CryptReleaseContext(provider, 0);
    return text;
}

// Bytes that differ from block to block, so that a misplaced block shows.
std::string Pattern(size_t size)
{
    std::string bytes(size, '\0');
    unsigned state = 0x2545F491;
    for (auto& b : bytes) {
        state = state * 1103515245 + 12345;
        b = static_cast<char>(state >> 23);
    }
    return bytes;
}

// RFC 1321, appendix A.5, in upper case. The digest of "" holds the bytes 00,
// 04 and 09, written "00" and "0" with one digit.
const struct {
    const char* input;
    const char* digest;
} kRfcSuite[] = {
    {"", "D41D8CD98F00B204E9800998ECF8427E"},
    {"a", "0CC175B9C0F1B6A831C399E269772661"},
    {"abc", "900150983CD24FB0D6963F7D28E17F72"},
    {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
    {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "D174AB98D277D9F5A5611C2C9F419D9F"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57EDF4A22BE3C955AC49DA2E2107B67A"},
};

TEST(CMD5Checksum, RfcTestSuiteInUpperCase)
{
    TempDir dir;
    for (const auto& c : kRfcSuite) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(DigestOf(c.input), Widen(c.digest));
        const std::wstring path = dir / L"input.txt";
        ASSERT_TRUE(WriteFileBytes(path, c.input));
        EXPECT_EQ(CMD5Checksum::DigestFile(path.c_str()), Widen(c.digest)) << "the same from a file";
    }
}

TEST(CMD5Checksum, FilesAroundThePaddingAndChunkBoundaries)
{
    // Digests of runs of "a" from an independent implementation.
    static const struct {
        size_t size;
        const char* digest;
    } cases[] = {
        {55, "EF1772B6DFF9A122358552954AD0DF65"},   {56, "3B0C8AC703F828B04C6C197006D17218"},
        {63, "B06521F39153D618550606BE297466D5"},   {64, "014842D480B571495A4A0363793F7367"},
        {65, "C743A45E0D2E6A95CB859ADAE0248435"},   {127, "020406E1D05CDC2AA287641F7AE2CC39"},
        {128, "E510683B3F5FFE4093D021808BC6FF70"},  {1023, "E3E210FF5DFC9DA789CDBEE262348DB6"},
        {1024, "C9A34CFC85D982698C6AC89F76071ABD"}, {1025, "AE187E1FEBEE2A150B64849C32D566CA"},
        {1000000, "7707D6AE4E027C70EEA2A935C2296F21"},  // RFC-era million "a", 977 chunks
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        const std::wstring path = dir / L"runs.bin";
        ASSERT_TRUE(WriteFileBytes(path, std::string(c.size, 'a')));
        EXPECT_EQ(CMD5Checksum::DigestFile(path.c_str()), Widen(c.digest));
    }
}

TEST(CMD5Checksum, FilesOfManySizesAgreeWithThePlatformsMD5)
{
    std::vector<size_t> sizes;
    for (size_t size = 0; size <= 200; ++size)
        sizes.push_back(size);
    // Around the edges of the file reads (64 KiB) and of smaller blocks.
    for (size_t block : {size_t{1024}, size_t{65536}})
        for (size_t chunks = 1; chunks <= 4; ++chunks)
            for (size_t size : {chunks * block - 1, chunks * block, chunks * block + 1, chunks * block + 56})
                sizes.push_back(size);
    sizes.push_back(3 * 1024 * 1024 + 17);

    TempDir dir;
    const std::wstring path = dir / L"pattern.bin";
    for (size_t size : sizes) {
        SCOPED_TRACE(size);
        const std::string bytes = Pattern(size);
        ASSERT_TRUE(WriteFileBytes(path, bytes));
        const std::wstring digest = CMD5Checksum::DigestFile(path.c_str());
        EXPECT_EQ(digest, PlatformDigest(bytes));
        EXPECT_EQ(digest.find_first_not_of(L"0123456789ABCDEF"), std::wstring::npos);
    }
}

TEST(CMD5Checksum, UpdateInPiecesEqualsOneUpdate)
{
    const std::string bytes = Pattern(5000);
    const std::wstring whole = DigestOf(bytes);
    static const size_t pieceSizes[] = {1, 2, 3, 5, 7, 55, 56, 63, 64, 65, 127, 129, 1000};
    for (size_t piece : pieceSizes) {
        SCOPED_TRACE(piece);
        CMD5Checksum checksum;
        for (size_t at = 0; at < bytes.size(); at += piece) {
            const size_t count = std::min(piece, bytes.size() - at);
            checksum.Update(reinterpret_cast<const BYTE*>(bytes.data() + at), static_cast<ULONG>(count));
        }
        checksum.Update(nullptr, 0);
        EXPECT_EQ(checksum.Final(), whole);
    }
    // Growing pieces cross every offset inside a block.
    CMD5Checksum growing;
    size_t at = 0;
    for (size_t piece = 1; at < bytes.size(); ++piece) {
        const size_t count = std::min(piece, bytes.size() - at);
        growing.Update(reinterpret_cast<const BYTE*>(bytes.data() + at), static_cast<ULONG>(count));
        at += count;
    }
    EXPECT_EQ(growing.Final(), whole);
}

TEST(CMD5Checksum, BitCountCarriesPastFourGigabits)
{
    // 512 MiB and 3 bytes: the low word of the bit count wraps once.
    const std::string zeros(1 << 20, '\0');
    CMD5Checksum checksum;
    for (int i = 0; i < 512; ++i)
        checksum.Update(reinterpret_cast<const BYTE*>(zeros.data()), static_cast<ULONG>(zeros.size()));
    checksum.Update(reinterpret_cast<const BYTE*>("abc"), 3);
    EXPECT_EQ(checksum.Final(), L"A3CCF7C5CF278A179E6BF3514B6931B2");
}

// The digest lets others go on reading and writing: a file that a running
// program holds open is still digested, unless that program shares it with nobody.
TEST(CMD5Checksum, AFileOpenElsewhereIsDigestedUnlessHeldExclusively)
{
    TempDir dir;
    const std::wstring path = dir / L"Client.dll";
    ASSERT_TRUE(WriteFileBytes(path, "abc"));
    static const struct {
        const char* label;
        DWORD access;
        DWORD share;
        const wchar_t* digest;
    } kHolders[] = {
        {"a reader sharing reading", GENERIC_READ, FILE_SHARE_READ, L"900150983CD24FB0D6963F7D28E17F72"},
        {"a writer sharing reading and writing", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
         L"900150983CD24FB0D6963F7D28E17F72"},
        {"a reader sharing everything", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
         L"900150983CD24FB0D6963F7D28E17F72"},
        {"a reader sharing nothing", GENERIC_READ, 0, L""},
        {"a writer sharing only writing", GENERIC_WRITE, FILE_SHARE_WRITE, L""},
    };
    for (const auto& c : kHolders) {
        SCOPED_TRACE(c.label);
        qxt::UniqueFileHandle holder(
            ::CreateFileW(path.c_str(), c.access, c.share, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
        EXPECT_EQ(CMD5Checksum::DigestFile(path.c_str()), c.digest);
    }
    EXPECT_EQ(CMD5Checksum::DigestFile(path.c_str()), L"900150983CD24FB0D6963F7D28E17F72") << "once it is closed";

    EXPECT_EQ(CMD5Checksum::DigestFile((dir / L"missing.dll").c_str()), L"");
    EXPECT_EQ(CMD5Checksum::DigestFile(dir.Path().c_str()), L"") << "a folder";
}

}  // namespace
