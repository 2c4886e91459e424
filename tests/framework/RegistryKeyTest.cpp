#include "framework/RegistryKey.h"

#include "framework/Handles.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

namespace {

// A scratch key of this test program, deleted before and after every test.
class ScratchKeys : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t name[64];
        std::swprintf(name, 64, L"Software\\QXTTest-registry-%lu", ::GetCurrentProcessId());
        m_path = name;
        DeleteAll();
    }
    void TearDown() override { DeleteAll(); }

    void DeleteAll()
    {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_path.c_str());
    }

    static bool KeyExists(HKEY root, const std::wstring& path)
    {
        qxt::UniqueHkey key;
        return ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
    }

    // Creates root\path with the test's own API calls and sets a value in it.
    static void MakeKey(HKEY root, const std::wstring& path, const wchar_t* name, DWORD type, const void* data,
                        DWORD size)
    {
        qxt::UniqueHkey key;
        ASSERT_EQ(::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Put(), nullptr),
                  ERROR_SUCCESS);
        if (name) {
            ASSERT_EQ(::RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        }
    }

    std::wstring m_path;
};

using RegistryKeyTest = ScratchKeys;
using ReadRegistryInstallValueTest = ScratchKeys;

TEST_F(RegistryKeyTest, ANewKeyIsEmpty)
{
    RegistryKey key;
    EXPECT_EQ(key.Key(), nullptr);
    EXPECT_EQ(key.Root(), nullptr);
    EXPECT_STREQ(key.Path(), L"");
}

TEST_F(RegistryKeyTest, OpenOfAMissingKeyFailsAndCreateThenMakesIt)
{
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        SCOPED_TRACE(root == HKEY_CURRENT_USER ? "HKCU" : "HKLM");
        const std::wstring sub = m_path + L"\\Level1\\Level2";
        RegistryKey key;
        EXPECT_FALSE(key.Open(root, sub.c_str()));
        EXPECT_EQ(key.Key(), nullptr);
        EXPECT_EQ(key.Root(), root);
        EXPECT_FALSE(KeyExists(root, sub)) << "Open never creates";

        ASSERT_TRUE(key.Create(root, sub.c_str()));
        EXPECT_NE(key.Key(), nullptr);
        EXPECT_EQ(key.Root(), root);
        EXPECT_EQ(std::wstring(key.Path()), sub);
        EXPECT_TRUE(KeyExists(root, sub)) << "both missing levels are created";

        // Full access: the key can be written through.
        const DWORD value = 7;
        EXPECT_EQ(::RegSetValueExW(key.Key(), L"Written", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                   sizeof value),
                  ERROR_SUCCESS);
        key.Close();
        EXPECT_EQ(key.Key(), nullptr);
        EXPECT_EQ(key.Root(), nullptr);
        EXPECT_STREQ(key.Path(), L"");

        // Now it exists: Open succeeds, and Create opens it again without losing its values.
        EXPECT_TRUE(key.Open(root, sub.c_str()));
        EXPECT_NE(key.Key(), nullptr);
        ASSERT_TRUE(key.Create(root, sub.c_str()));
        DWORD read = 0, size = sizeof read;
        EXPECT_EQ(::RegQueryValueExW(key.Key(), L"Written", nullptr, nullptr, reinterpret_cast<BYTE*>(&read), &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(read, 7u);
    }
}

TEST_F(RegistryKeyTest, ARootIsBorrowedAndNeverClosedWhileAnOwnedKeyIs)
{
    // A root of our own, so that a wrongful RegCloseKey on it shows.
    qxt::UniqueHkey root;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, root.Put(),
                                nullptr),
              ERROR_SUCCESS);
    HKEY child = nullptr;
    {
        const BorrowedRegistryKey borrowed(root.Get());
        EXPECT_EQ(borrowed.Key(), root.Get());

        RegistryKey key;
        EXPECT_FALSE(key.Open(root.Get(), nullptr)) << "the root itself is never an owned key";
        EXPECT_EQ(key.Key(), nullptr);
        EXPECT_STREQ(key.Path(), L"");
        ASSERT_TRUE(key.Create(borrowed.Key(), L"Child"));
        child = key.Key();
        EXPECT_NE(child, root.Get());
    }  // the owned child is closed, the borrowed root is not
    DWORD subKeys = 0;
    EXPECT_EQ(::RegQueryInfoKeyW(root.Get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr),
              ERROR_SUCCESS)
        << "the caller's root is still open";
    EXPECT_EQ(subKeys, 1u);
    EXPECT_NE(::RegQueryInfoKeyW(child, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr),
              ERROR_SUCCESS)
        << "the owned key was closed";
}

TEST_F(RegistryKeyTest, ReopeningMovesToTheNewKey)
{
    MakeKey(HKEY_CURRENT_USER, m_path + L"\\A", L"Name", REG_SZ, L"a", 4);
    MakeKey(HKEY_LOCAL_MACHINE, m_path + L"\\B", L"Name", REG_SZ, L"b", 4);
    RegistryKey key;
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, (m_path + L"\\A").c_str()));
    ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, (m_path + L"\\B").c_str()));
    EXPECT_EQ(key.Root(), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(std::wstring(key.Path()), m_path + L"\\B");
    wchar_t text[8] = {};
    DWORD size = sizeof text;
    ASSERT_EQ(::RegQueryValueExW(key.Key(), L"Name", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(text, L"b");

    // A failed open leaves no key from before.
    EXPECT_FALSE(key.Open(HKEY_CURRENT_USER, (m_path + L"\\Missing").c_str()));
    EXPECT_EQ(key.Key(), nullptr);
    EXPECT_EQ(std::wstring(key.Path()), m_path + L"\\Missing");
}

TEST_F(RegistryKeyTest, ASubKeyTooLongForThePathFieldIsRefused)
{
    const std::wstring tooLong = m_path + L"\\" + std::wstring(300 - m_path.size(), L'k');
    RegistryKey key;
    EXPECT_FALSE(key.Open(HKEY_CURRENT_USER, tooLong.c_str()));
    EXPECT_EQ(key.Key(), nullptr);
    EXPECT_FALSE(key.Create(HKEY_CURRENT_USER, tooLong.c_str()));
    EXPECT_EQ(key.Key(), nullptr);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, m_path));
}

TEST_F(ReadRegistryInstallValueTest, ReadsTheValueInstallOfAKeyUnderLocalMachine)
{
    const DWORD one = 1, big = 0x12345678;
    const BYTE fourBytes[4] = {0x78, 0x56, 0x34, 0x12};
    const ULONGLONG eightBytes = 1;
    static const struct {
        const char* label;
        const wchar_t* valueName;  // nullptr: the key has no values
        DWORD type;
        const void* data;
        DWORD size;
        bool read;
        DWORD expected;
    } cases[] = {
        {"DWORD 1", L"Install", REG_DWORD, &one, 4, true, 1},
        {"DWORD of any value", L"Install", REG_DWORD, &big, 4, true, 0x12345678},
        {"four bytes of another type count too", L"Install", REG_BINARY, fourBytes, 4, true, 0x12345678},
        {"a value larger than four bytes", L"Install", REG_QWORD, &eightBytes, 8, false, 0},
        {"another value name", L"Installed", REG_DWORD, &one, 4, false, 0},
        {"no values at all", nullptr, 0, nullptr, 0, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_path.c_str());
        MakeKey(HKEY_LOCAL_MACHINE, m_path + L"\\Profile", c.valueName, c.type, c.data, c.size);
        DWORD value = 0xdeadbeef;
        EXPECT_EQ(ReadRegistryInstallValue((m_path + L"\\Profile").c_str(), &value), c.read);
        if (c.read) {
            EXPECT_EQ(value, c.expected);
        }
    }
}

TEST_F(ReadRegistryInstallValueTest, AMissingKeyIsFalseAndTheOutputUntouched)
{
    DWORD value = 0xdeadbeef;
    EXPECT_FALSE(ReadRegistryInstallValue((m_path + L"\\Missing").c_str(), &value));
    EXPECT_EQ(value, 0xdeadbeefu);
    // The key is read under HKEY_LOCAL_MACHINE only.
    const DWORD one = 1;
    MakeKey(HKEY_CURRENT_USER, m_path + L"\\Profile", L"Install", REG_DWORD, &one, 4);
    EXPECT_FALSE(ReadRegistryInstallValue((m_path + L"\\Profile").c_str(), &value));
    EXPECT_EQ(value, 0xdeadbeefu);
}

}  // namespace
