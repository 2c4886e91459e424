// The signed file list's checks, as a table of documents with one thing
// wrong in each (made and signed by tests/support/signed_lists.py, the
// fixture signed_list_cases), and the check of a file against its line.
#include "trust/SignedFileList.h"
#include "trust/SignedListCheck.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

using qxt::test::ProgramFolder;
using qxt::test::ReadFileBytes;

std::wstring CasesFolder()
{
    // Test programs live in <build>/tests/trust, the fixture in <build>/fixtures.
    std::wstring folder = ProgramFolder();
    for (int up = 0; up < 2; ++up)
        folder.resize(folder.find_last_of(L'\\'));
    return folder + L"\\fixtures\\signed-lists\\";
}

std::string Document(const char* label)
{
    const std::string bytes = ReadFileBytes(CasesFolder() + std::wstring(label, label + std::strlen(label)) + L".signed");
    EXPECT_FALSE(bytes.empty()) << label << ".signed: run through ctest, the fixture writes it";
    return bytes;
}

EcdsaP256PublicKey PublisherKey()
{
    const std::string bytes = ReadFileBytes(CasesFolder() + L"publisher.xy");
    EcdsaP256PublicKey key{};
    EXPECT_EQ(bytes.size(), key.size()) << "run through ctest: the fixture writes publisher.xy";
    std::memcpy(key.data(), bytes.data(), std::min(bytes.size(), key.size()));
    return key;
}

ULONGLONG Utc(const char* text)
{
    ULONGLONG seconds = 0;
    EXPECT_TRUE(ParseUtcTime(text, seconds)) << text;
    return seconds;
}

constexpr ULONGLONG kListVersion = 1765432100;  // of every case but version-max
const ULONGLONG kBeforeExpiry = Utc("2029-12-31T23:59:59Z");
const ULONGLONG kExpiry = Utc("2030-01-01T00:00:00Z");

enum class Key { Publisher, None };

struct Case {
    const char* label;     // the document's file name
    Key key;
    ULONGLONG now;
    ULONGLONG accepted;    // the version accepted before
    SetupResult expected;
    const wchar_t* check;  // the check that refuses, or nullptr
};

TEST(SignedListCheck, OneThingWrongInEachDocument)
{
    const EcdsaP256PublicKey key = PublisherKey();
    const ULONGLONG now = kBeforeExpiry;
    const Case cases[] = {
        {"valid", Key::Publisher, now, 0, SETUP_OK, nullptr},
        {"valid", Key::None, now, 0, SETUP_OK, nullptr},
        {"no-files", Key::Publisher, now, 0, SETUP_OK, nullptr},
        {"leap-day", Key::Publisher, Utc("2028-02-28T23:59:59Z"), 0, SETUP_OK, nullptr},
        {"version-max", Key::Publisher, now, 0x7FFFFFFFFFFFFFFFULL, SETUP_OK, nullptr},
        // Signature.
        {"other-key", Key::Publisher, now, 0, SETUP_ERR_BAD_SIGNATURE, L"signature"},
        {"other-key", Key::None, now, 0, SETUP_OK, nullptr},  // an unkeyed setup does not demand it
        // Expiry: the list is good until the second it names.
        {"valid", Key::Publisher, kExpiry, 0, SETUP_ERR_EXPIRED_LIST, L"expiry"},
        {"valid", Key::Publisher, kExpiry + 86400 * 400, 0, SETUP_ERR_EXPIRED_LIST, L"expiry"},
        {"valid", Key::None, kExpiry, 0, SETUP_ERR_EXPIRED_LIST, L"expiry"},
        {"leap-day", Key::Publisher, Utc("2028-02-29T00:00:00Z"), 0, SETUP_ERR_EXPIRED_LIST, L"expiry"},
        // Version: the same one again is fine, a lower one is a rollback.
        {"valid", Key::Publisher, now, kListVersion, SETUP_OK, nullptr},
        {"valid", Key::Publisher, now, kListVersion - 1, SETUP_OK, nullptr},
        {"valid", Key::Publisher, now, kListVersion + 1, SETUP_ERR_OLDER_LIST, L"version"},
        {"valid", Key::Publisher, now, ~0ULL, SETUP_ERR_OLDER_LIST, L"version"},
        {"valid", Key::None, now, kListVersion + 1, SETUP_OK, nullptr},
        // Validly signed, but not the format.
        {"no-format", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"format-2", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"bom", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"no-version", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"no-expires", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"only-format", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"fields-swapped", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"version-twice", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"unknown-line", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"crlf", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"version-zero", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"version-leading-zero", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"version-too-big", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"version-signed", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"date-not-real", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"date-other-form", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"size-leading-zero", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"size-missing", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"digest-upper-case", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"digest-short", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"names-out-of-order", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"name-twice", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"name-outside", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"name-empty", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"name-not-utf8", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"name-control", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"name-outside", Key::None, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        // The signature line itself.
        {"no-signature", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"no-signature", Key::None, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"signature-upper-case", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"signature-der", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"signature-not-last", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"no-final-lf", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        {"trailing-byte", Key::Publisher, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
        // A second signature line: the first is then part of what the
        // second covers, which it was not signed over.
        {"signature-twice", Key::Publisher, now, 0, SETUP_ERR_BAD_SIGNATURE, L"signature"},
        {"signature-twice", Key::None, now, 0, SETUP_ERR_DAMAGED_LIST, L"format"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.label << (c.key == Key::None ? " (no key)" : "") << ", now " << c.now
                                          << ", accepted " << c.accepted);
        SignedListPolicy policy;
        policy.key = c.key == Key::Publisher ? &key : nullptr;
        policy.now = c.now;
        policy.acceptedVersion = c.accepted;
        SignedFileList list;
        list.version = 0xDEADBEEF;
        const TrustRefusal refusal = CheckSignedFileList(Document(c.label), policy, list);
        EXPECT_EQ(refusal.code, c.expected) << DescribeRefusal(refusal);
        if (c.check) {
            EXPECT_EQ(refusal.check, c.check);
            EXPECT_FALSE(refusal.expected.empty());
            EXPECT_FALSE(refusal.received.empty());
            EXPECT_TRUE(list.files.empty()) << "a refused list hands out no file";
            EXPECT_EQ(list.version, 0u);
        }
        else {
            EXPECT_NE(list.version, 0u);
        }
    }
}

TEST(SignedListCheck, AValidListGivesEveryFieldAndFile)
{
    const EcdsaP256PublicKey key = PublisherKey();
    SignedListPolicy policy;
    policy.key = &key;
    policy.now = kBeforeExpiry;
    SignedFileList list;
    ASSERT_FALSE(CheckSignedFileList(Document("valid"), policy, list));
    EXPECT_EQ(list.version, kListVersion);
    EXPECT_EQ(list.expires, kExpiry);
    ASSERT_EQ(list.files.size(), 2u);
    EXPECT_EQ(list.files[0].name, L"QXTClient.exe");
    EXPECT_EQ(list.files[0].size, 3u);
    EXPECT_EQ(HexText(list.files[0].sha256), L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(list.files[1].name, L"data\\x y.bin");
    EXPECT_EQ(list.files[1].size, 12u);
}

TEST(SignedListCheck, EveryByteChangedAnywhereIsRefused)
{
    const EcdsaP256PublicKey key = PublisherKey();
    const std::string valid = Document("valid");
    SignedListPolicy policy;
    policy.key = &key;
    policy.now = kBeforeExpiry;
    for (size_t at = 0; at < valid.size(); ++at) {
        // A low bit keeps most characters in their class (a digit stays a
        // digit, hex stays hex), so most changes reach the signature check.
        for (const char flip : {'\x01', '\x20'}) {
            std::string changed = valid;
            changed[at] = static_cast<char>(changed[at] ^ flip);
            SignedFileList list;
            const TrustRefusal refusal = CheckSignedFileList(changed, policy, list);
            EXPECT_TRUE(refusal.code == SETUP_ERR_BAD_SIGNATURE || refusal.code == SETUP_ERR_DAMAGED_LIST)
                << "byte " << at << " ^ " << static_cast<int>(flip) << ": " << refusal.code;
        }
    }
}

TEST(SignedListCheck, TheLogNamesTheCheckWithExpectedAndReceivedValues)
{
    const EcdsaP256PublicKey key = PublisherKey();
    SignedListPolicy policy;
    policy.key = &key;
    policy.now = kExpiry + 1;
    SignedFileList list;
    EXPECT_EQ(DescribeRefusal(CheckSignedFileList(Document("valid"), policy, list)),
              L"expiry: expected a list that expires after 2030-01-01T00:00:01Z, received expires 2030-01-01T00:00:00Z");

    policy.now = kBeforeExpiry;
    policy.acceptedVersion = 1765432200;
    EXPECT_EQ(DescribeRefusal(CheckSignedFileList(Document("valid"), policy, list)),
              L"version: expected version 1765432200 or higher (accepted before), received version 1765432100");

    policy.acceptedVersion = 0;
    EXPECT_EQ(DescribeRefusal(CheckSignedFileList(Document("crlf"), policy, list)),
              L"format: expected line 1: a line ended by LF alone, received \"format qxt-signed-file-list 1\\x0d\"");

    const TrustRefusal signature = CheckSignedFileList(Document("other-key"), policy, list);
    EXPECT_EQ(signature.check, L"signature");
    EXPECT_NE(signature.expected.find(HexText(key.data(), key.size())), std::wstring::npos) << signature.expected;
}

TEST(CheckListedFile, SizeAndDigestMustBothMatch)
{
    SignedFileEntry entry;
    entry.name = L"QXTClient.exe";
    entry.size = 3;
    ASSERT_TRUE(Sha256OfBytes("abc", 3, entry.sha256));
    Sha256Digest other = entry.sha256;
    other[31] ^= 1;
    const struct {
        const char* label;
        ULONGLONG size;
        Sha256Digest digest;
        const wchar_t* check;
    } cases[] = {
        {"the listed file", 3, entry.sha256, nullptr},
        {"one byte more", 4, entry.sha256, L"file size"},
        {"one byte less", 2, entry.sha256, L"file size"},
        {"past 4 GiB, same low 32 bits", 3 + (1ULL << 32), entry.sha256, L"file size"},
        {"another digest", 3, other, L"file SHA-256"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const TrustRefusal refusal = CheckListedFile(entry, c.size, c.digest);
        if (!c.check) {
            EXPECT_EQ(refusal.code, SETUP_OK);
            continue;
        }
        EXPECT_EQ(refusal.code, SETUP_ERR_FILE_MISMATCH);
        EXPECT_EQ(refusal.check, c.check);
    }
    EXPECT_EQ(DescribeRefusal(CheckListedFile(entry, 4, entry.sha256)),
              L"file size: expected 3 bytes of QXTClient.exe, received 4 bytes");
    EXPECT_EQ(DescribeRefusal(CheckListedFile(entry, 3, other)),
              L"file SHA-256: expected " + HexText(entry.sha256) + L" for QXTClient.exe, received " + HexText(other));
}

TEST(UtcTime, ParsesOnlyTheOneFormAndWritesItBack)
{
    const struct {
        const char* text;
        bool valid;
        ULONGLONG seconds;
    } cases[] = {
        {"1970-01-01T00:00:00Z", true, 0},
        {"2000-03-01T00:00:00Z", true, 951868800},
        {"2027-01-10T00:00:00Z", true, 1799539200},
        {"2038-01-19T03:14:08Z", true, 2147483648ULL},
        {"2400-02-29T23:59:59Z", true, 13574649599ULL},
        {"2100-02-29T00:00:00Z", false, 0},
        {"2027-13-01T00:00:00Z", false, 0},
        {"2027-04-31T00:00:00Z", false, 0},
        {"2027-01-10T24:00:00Z", false, 0},
        {"2027-01-10T00:60:00Z", false, 0},
        {"2027-01-10T00:00:60Z", false, 0},
        {"2027-01-10T00:00:00", false, 0},
        {"2027-01-10t00:00:00Z", false, 0},
        {"2027-1-10T00:00:00Z", false, 0},
        {"1969-12-31T23:59:59Z", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ULONGLONG seconds = 0xDEADBEEF;
        EXPECT_EQ(ParseUtcTime(c.text, seconds), c.valid);
        if (c.valid) {
            EXPECT_EQ(seconds, c.seconds);
            EXPECT_EQ(UtcTimeText(seconds), std::wstring(c.text, c.text + std::strlen(c.text)));
        }
    }
}

}  // namespace
