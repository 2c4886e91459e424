// SHA-256 and ECDSA P-256 through the platform's CNG: known answers from the
// standards, and each way a signature check must fail.
#include "framework/EcdsaP256.h"
#include "framework/Sha256.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

using qxt::test::TempDir;
using qxt::test::WriteFileBytes;

template <size_t N>
std::array<BYTE, N> FromHex(const char* hex)
{
    std::array<BYTE, N> bytes{};
    for (size_t i = 0; i < N; ++i) {
        const auto value = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
        bytes[i] = static_cast<BYTE>(value(hex[2 * i]) << 4 | value(hex[2 * i + 1]));
    }
    return bytes;
}

std::wstring Wide(const char* ascii)
{
    return std::wstring(ascii, ascii + std::strlen(ascii));
}

// FIPS 180-2 and the NIST examples.
const struct {
    const char* label;
    std::string message;
    const char* digest;
} kSha256Vectors[] = {
    {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"two blocks", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {"a million a", std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
};

TEST(Sha256, KnownAnswersOfBytesInOneCallInPiecesAndOfAFile)
{
    TempDir dir;
    for (const auto& vector : kSha256Vectors) {
        SCOPED_TRACE(vector.label);
        Sha256Digest digest{};
        digest.fill(0xCD);
        ASSERT_TRUE(Sha256OfBytes(vector.message.data(), vector.message.size(), digest));
        EXPECT_EQ(HexText(digest), Wide(vector.digest));

        // Pieces of uneven sizes give the same digest as one call.
        Sha256Hash hash;
        for (size_t at = 0, piece = 1; at < vector.message.size(); at += piece, piece = piece * 3 + 1)
            hash.Update(vector.message.data() + at, std::min(piece, vector.message.size() - at));
        Sha256Digest pieces{};
        ASSERT_TRUE(hash.Finish(pieces));
        EXPECT_EQ(pieces, digest);

        const std::wstring path = dir / L"message.bin";
        ASSERT_TRUE(WriteFileBytes(path, vector.message));
        Sha256Digest ofFile{};
        ULONGLONG length = 0xDEADBEEF;
        ASSERT_TRUE(Sha256OfFile(path.c_str(), ofFile, length));
        EXPECT_EQ(HexText(ofFile), Wide(vector.digest));
        EXPECT_EQ(length, vector.message.size());
    }
}

TEST(Sha256, AFileThatCannotBeReadHasNoDigest)
{
    TempDir dir;
    Sha256Digest digest{};
    ULONGLONG length = 0;
    ::SetLastError(0xDEADBEEF);
    EXPECT_FALSE(Sha256OfFile((dir / L"missing.bin").c_str(), digest, length));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    // Someone writing the file while it is read would change what is checked.
    const std::wstring path = dir / L"busy.bin";
    ASSERT_TRUE(WriteFileBytes(path, "abc"));
    HANDLE writer = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(Sha256OfFile(path.c_str(), digest, length));
    ::CloseHandle(writer);
    EXPECT_TRUE(Sha256OfFile(path.c_str(), digest, length));
}

TEST(HexText, WritesTwoLowerCaseDigitsPerByte)
{
    const BYTE bytes[] = {0x00, 0x0F, 0x10, 0xAB, 0xFF};
    EXPECT_EQ(HexText(bytes, sizeof bytes), L"000f10abff");
    EXPECT_EQ(HexText(bytes, 0), L"");
}

// RFC 6979 A.2.5: the P-256 key and its deterministic SHA-256 signatures.
const EcdsaP256PublicKey kRfcKey = FromHex<64>(
    "60FED4BA255A9D31C961EB74C6356D68C049B8923B61FA6CE669622E60F29FB6"
    "7903FE1008B8BC99A41AE9E95628BC64F2F1B20C2D7E9F5177A3C294D4462299");
const EcdsaP256Signature kSampleSignature = FromHex<64>(
    "EFD48B2AACB6A8FD1140DD9CD45E81D69D2C877B56AAF991C34D0EA84EAF3716"
    "F7CB1C942D657C41D436C7A1B6E29F65F3E900DBB9AFF4064DC4AB2F843ACDA8");
const EcdsaP256Signature kTestSignature = FromHex<64>(
    "F1ABB023518351CD71D881567B1EA663ED3EFCF6C5132B354F28D3B0B7D38367"
    "019F4113742A2B14BD25926B49C649155F267E60D3814B4C0CC84250E46F0083");

EcdsaP256PublicKey Flipped(EcdsaP256PublicKey key, size_t at)
{
    key[at] ^= 0x01;
    return key;
}

EcdsaP256Signature FlippedSignature(EcdsaP256Signature signature, size_t at)
{
    signature[at] ^= 0x80;
    return signature;
}

TEST(EcdsaP256, VerifiesTheRfc6979VectorsAndRefusesEveryChange)
{
    EcdsaP256PublicKey zeroKey{};
    EcdsaP256Signature zeroSignature{};
    // The same point with its order n as s: a signature no signer makes.
    const EcdsaP256Signature orderAsS = FromHex<64>(
        "EFD48B2AACB6A8FD1140DD9CD45E81D69D2C877B56AAF991C34D0EA84EAF3716"
        "FFFFFFFF00000000FFFFFFFFFFFFFFFFBCE6FAADA7179E84F3B9CAC2FC632551");
    // A key of another signer (RFC 6979's key with a different point: the
    // NIST P-256 generator).
    const EcdsaP256PublicKey generator = FromHex<64>(
        "6B17D1F2E12C4247F8BCE6E563A440F277037D812DEB33A0F4A13945D898C296"
        "4FE342E2FE1A7F9B8EE7EB4A7C0F9E162BCE33576B315ECECBB6406837BF51F5");
    const struct {
        const char* label;
        EcdsaP256PublicKey key;
        std::string message;
        EcdsaP256Signature signature;
        SignatureCheck expected;
    } cases[] = {
        {"sample", kRfcKey, "sample", kSampleSignature, SignatureCheck::Valid},
        {"test", kRfcKey, "test", kTestSignature, SignatureCheck::Valid},
        {"another message", kRfcKey, "samplf", kSampleSignature, SignatureCheck::Invalid},
        {"a longer message", kRfcKey, "sample ", kSampleSignature, SignatureCheck::Invalid},
        {"the other message's signature", kRfcKey, "sample", kTestSignature, SignatureCheck::Invalid},
        {"r changed", kRfcKey, "sample", FlippedSignature(kSampleSignature, 0), SignatureCheck::Invalid},
        {"s changed", kRfcKey, "sample", FlippedSignature(kSampleSignature, 63), SignatureCheck::Invalid},
        {"s equal to the order", kRfcKey, "sample", orderAsS, SignatureCheck::Invalid},
        {"zero signature", kRfcKey, "sample", zeroSignature, SignatureCheck::Invalid},
        {"another signer's key", generator, "sample", kSampleSignature, SignatureCheck::Invalid},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(VerifyEcdsaP256(c.key, c.message.data(), c.message.size(), c.signature), c.expected);
    }

    // Not a point of the curve: refused at the import, or by the check.
    for (const auto& key : {zeroKey, Flipped(kRfcKey, 63)}) {
        const SignatureCheck check = VerifyEcdsaP256(key, "sample", 6, kSampleSignature);
        EXPECT_TRUE(check == SignatureCheck::KeyRefused || check == SignatureCheck::Invalid)
            << static_cast<int>(check);
    }
}

}  // namespace
