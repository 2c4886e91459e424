// The run-time reader of the publisher's key slot, on copies of a helper
// program whose resources each case writes with UpdateResource; and the
// accepted version under a scratch registry key.
#include "trust/AcceptedVersion.h"
#include "trust/PublisherKey.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

namespace {

using qxt::test::HelperPath;
using qxt::test::TempDir;

std::string Slot(const char* marker, size_t reserved, const std::string& key)
{
    return std::string(marker, 16) + std::string(reserved, '\0') + key;
}

std::string KeyBytes()
{
    std::string key(64, '\0');
    for (size_t i = 0; i < key.size(); ++i)
        key[i] = static_cast<char>(0xA0 + i);
    return key;
}

// A copy of a helper program with the resource PUBLISHERKEY set to bytes
// (of the given type), loaded as a data file.
class ModuleWithSlot {
public:
    ModuleWithSlot(const TempDir& dir, const std::string* bytes, LPCWSTR type = MAKEINTRESOURCEW(10))
    {
        const std::wstring path = dir / L"keyed.exe";
        ::DeleteFileW(path.c_str());
        EXPECT_TRUE(::CopyFileW(HelperPath(L"exitcode.exe").c_str(), path.c_str(), FALSE));
        if (bytes) {
            HANDLE update = ::BeginUpdateResourceW(path.c_str(), FALSE);
            EXPECT_NE(update, nullptr);
            EXPECT_TRUE(::UpdateResourceW(update, type, L"PUBLISHERKEY", MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                                          const_cast<char*>(bytes->data()), static_cast<DWORD>(bytes->size())));
            EXPECT_TRUE(::EndUpdateResourceW(update, FALSE));
        }
        m_module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        EXPECT_NE(m_module, nullptr);
    }
    ModuleWithSlot(const ModuleWithSlot&) = delete;
    ModuleWithSlot& operator=(const ModuleWithSlot&) = delete;
    ~ModuleWithSlot()
    {
        if (m_module)
            ::FreeLibrary(m_module);
    }
    HMODULE Get() const { return m_module; }

private:
    HMODULE m_module = nullptr;
};

TEST(PublisherKey, ReadsTheSlotAsTheBuildAndSetKeyWriteIt)
{
    const std::string key = KeyBytes();
    const std::string zeroKey(64, '\0');
    const std::string keyed = Slot("QXT-PUBLISHER-K1", 16, key);
    const std::string unkeyed = Slot("QXT-PUBLISHER-K1", 16, zeroKey);
    const std::string oneBit = Slot("QXT-PUBLISHER-K1", 16, std::string(63, '\0') + '\x01');
    const std::string otherMarker = Slot("QXT-PUBLISHER-K2", 16, key);
    const std::string shortSlot = keyed.substr(0, 95);
    const std::string longSlot = keyed + '\0';
    const struct {
        const char* label;
        const std::string* slot;
        LPCWSTR type;
        PublisherKeyState expected;
        const std::string* key;
    } cases[] = {
        {"no slot", nullptr, MAKEINTRESOURCEW(10), PublisherKeyState::None, &zeroKey},
        {"the built slot, all zero", &unkeyed, MAKEINTRESOURCEW(10), PublisherKeyState::None, &zeroKey},
        {"a key", &keyed, MAKEINTRESOURCEW(10), PublisherKeyState::Present, &key},
        {"a key of one bit", &oneBit, MAKEINTRESOURCEW(10), PublisherKeyState::Present, &oneBit},
        {"another marker", &otherMarker, MAKEINTRESOURCEW(10), PublisherKeyState::Damaged, &zeroKey},
        {"95 bytes", &shortSlot, MAKEINTRESOURCEW(10), PublisherKeyState::Damaged, &zeroKey},
        {"97 bytes", &longSlot, MAKEINTRESOURCEW(10), PublisherKeyState::Damaged, &zeroKey},
        {"not RCDATA", &keyed, MAKEINTRESOURCEW(6), PublisherKeyState::None, &zeroKey},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const ModuleWithSlot module(dir, c.slot, c.type);
        EcdsaP256PublicKey read{};
        read.fill(0xCD);
        EXPECT_EQ(ReadPublisherKey(module.Get(), read), c.expected);
        const std::string expectedKey = c.key->substr(c.key->size() - 64);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(read.data()), read.size()), expectedKey);
    }
}

const wchar_t kScratchKey[] = L"Software\\QXTSetupTests\\AcceptedVersion";

class AcceptedVersionTest : public ::testing::Test {
protected:
    void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratchKey); }
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratchKey); }

    void Store(DWORD type, const void* data, DWORD size)
    {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kScratchKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                    nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(::RegSetValueExW(key, L"Accepted", 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        ::RegCloseKey(key);
    }

    const AcceptedVersionPlace m_place{HKEY_CURRENT_USER, kScratchKey, L"Accepted"};
};

TEST_F(AcceptedVersionTest, NoneStoredReadsAsZeroAndAWriteCreatesTheKey)
{
    EXPECT_EQ(ReadAcceptedVersion(m_place), 0u);
    ASSERT_TRUE(WriteAcceptedVersion(m_place, 1765432100));
    EXPECT_EQ(ReadAcceptedVersion(m_place), 1765432100u);

    // Stored as a 64-bit number: a version past 32 bits comes back whole.
    ASSERT_TRUE(WriteAcceptedVersion(m_place, 0x7FFFFFFFFFFFFFFFULL));
    DWORD type = 0;
    ULONGLONG raw = 0;
    DWORD size = sizeof raw;
    ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, kScratchKey, L"Accepted", RRF_RT_ANY, &type, &raw, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_QWORD));
    EXPECT_EQ(raw, 0x7FFFFFFFFFFFFFFFULL);
}

TEST_F(AcceptedVersionTest, AWriteNeverLowersTheStoredVersion)
{
    ASSERT_TRUE(WriteAcceptedVersion(m_place, 500));
    ASSERT_TRUE(WriteAcceptedVersion(m_place, 400));
    EXPECT_EQ(ReadAcceptedVersion(m_place), 500u);
    ASSERT_TRUE(WriteAcceptedVersion(m_place, 501));
    EXPECT_EQ(ReadAcceptedVersion(m_place), 501u);
}

TEST_F(AcceptedVersionTest, AValueOfAnotherShapeReadsAsTheHighestVersion)
{
    const DWORD small = 7;
    Store(REG_DWORD, &small, sizeof small);
    EXPECT_EQ(ReadAcceptedVersion(m_place), ~0ULL);
    const wchar_t text[] = L"1765432100";
    Store(REG_SZ, text, sizeof text);
    EXPECT_EQ(ReadAcceptedVersion(m_place), ~0ULL);
    const BYTE longer[12] = {1};
    Store(REG_QWORD, longer, sizeof longer);
    EXPECT_EQ(ReadAcceptedVersion(m_place), ~0ULL);
}

}  // namespace
