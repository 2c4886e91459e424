// The client's configuration file in the install folder and in the data
// folder of the test prefix's user.
#include "install/ClientConfig.h"

#include "tests/install/ClientDataFolder.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <string>

using qxt::test::ClientDataFolder;
using qxt::test::ReadFileBytes;
using qxt::test::TempDir;

namespace {

std::wstring ProfileString(const std::wstring& file, const wchar_t* section, const wchar_t* key)
{
    wchar_t value[256] = {};
    ::GetPrivateProfileStringW(section, key, L"(none)", value, 256, file.c_str());
    return value;
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

class ClientConfigTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = m_dir / L"Quolix Client";
        ::CreateDirectoryW(m_folder.c_str(), nullptr);
        FillInstallInfo(m_info, m_folder);
    }
    void TearDown() override
    {
        // The test folder is removed only once nothing in it is read-only.
        ::SetFileAttributesW(Installed().c_str(), FILE_ATTRIBUTE_NORMAL);
    }

    std::wstring Installed() const { return m_folder + L"\\QXTClient.ini"; }
    std::wstring PerUser() const { return m_data.Path() + L"Config\\QXTClient.ini"; }

    ClientDataFolder m_data;
    TempDir m_dir;
    std::wstring m_folder;
    InstallInfo m_info{};
};

TEST_F(ClientConfigTest, TheDataFolderIsCreatedLevelByLevel)
{
    ASSERT_FALSE(IsFolder(m_data.Company()));

    EXPECT_EQ(GetClientDataFolder(), ClientDataFolder::AppData() + L"\\Tarvenn\\Quolix\\");
    EXPECT_TRUE(IsFolder(m_data.Path()));
    // Existing folders are taken as they are.
    ASSERT_TRUE(qxt::test::WriteFileBytes(m_data.Path() + L"kept.dat", "x"));
    EXPECT_EQ(GetClientDataFolder(), m_data.Path());
    EXPECT_EQ(ReadFileBytes(m_data.Path() + L"kept.dat"), "x");
}

TEST_F(ClientConfigTest, AReadOnlyFileBecomesWritableAndGetsTheNewHost)
{
    ASSERT_TRUE(qxt::test::WriteFileBytes(Installed(), "[CONFIG]\r\nPORT=8080\r\nHOST=old.example\r\nLANG=zh\r\n"
                                                       "[UI]\r\nHOST=not.this.one\r\nSkin=blue\r\n"));
    ASSERT_TRUE(::SetFileAttributesW(Installed().c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));

    EXPECT_EQ(WriteClientConfig(L"dl.example.net", m_info), TRUE);

    const DWORD attributes = ::GetFileAttributesW(Installed().c_str());
    EXPECT_FALSE(attributes & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN) << "other attributes stay";
    const std::string text = ReadFileBytes(Installed());
    EXPECT_EQ(Count(text, "HOST="), 2u) << text;
    EXPECT_EQ(Count(text, "HOST=dl.example.net"), 1u) << text;
    EXPECT_EQ(ProfileString(Installed(), L"CONFIG", L"HOST"), L"dl.example.net");
    EXPECT_EQ(ProfileString(Installed(), L"CONFIG", L"PORT"), L"8080");
    EXPECT_EQ(ProfileString(Installed(), L"CONFIG", L"LANG"), L"zh");
    EXPECT_EQ(ProfileString(Installed(), L"UI", L"HOST"), L"not.this.one");
    EXPECT_EQ(ProfileString(Installed(), L"UI", L"Skin"), L"blue");

    EXPECT_EQ(ProfileString(PerUser(), L"CONFIG", L"HOST"), L"dl.example.net");
}

TEST_F(ClientConfigTest, MissingFilesAndFoldersAreCreated)
{
    ASSERT_FALSE(IsFolder(m_data.Company()));

    EXPECT_EQ(WriteClientConfig(L"127.0.0.1:8080", m_info), TRUE);

    EXPECT_EQ(ProfileString(Installed(), L"CONFIG", L"HOST"), L"127.0.0.1:8080");
    for (const std::wstring& folder : {m_data.Company(), m_data.Path(), m_data.Path() + L"Config"})
        EXPECT_TRUE(IsFolder(folder)) << testing::PrintToString(folder);
    EXPECT_EQ(ProfileString(PerUser(), L"CONFIG", L"HOST"), L"127.0.0.1:8080");

    // A second run replaces the host in both files and adds no line.
    EXPECT_EQ(WriteClientConfig(L"mirror.example", m_info), TRUE);
    for (const std::wstring& file : {Installed(), PerUser()}) {
        EXPECT_EQ(ProfileString(file, L"CONFIG", L"HOST"), L"mirror.example");
        EXPECT_EQ(Count(ReadFileBytes(file), "HOST="), 1u);
    }
}

TEST_F(ClientConfigTest, TheInstallFolderMayEndWithABackslash)
{
    FillInstallInfo(m_info, m_folder + L"\\");
    EXPECT_EQ(WriteClientConfig(L"dl.example.net", m_info), TRUE);
    EXPECT_EQ(ProfileString(Installed(), L"CONFIG", L"HOST"), L"dl.example.net");
}

}  // namespace
