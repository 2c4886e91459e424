// The uninstall entry "QXTClient" of the test prefix, written and read back
// value by value with types and sizes. The test program is 32-bit like the
// setup program, so both see the same (32-bit) view of HKLM\SOFTWARE.
#include "install/UninstallEntry.h"

#include "framework/Handles.h"
#include "framework/LogFile.h"
#include "framework/SystemErrorText.h"
#include "tests/install/RegistryValues.h"
#include "tests/support/RunLogCapture.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <cstring>
#include <cwchar>
#include <string>

using qxt::test::HelperPath;
using qxt::test::ReadValue;
using qxt::test::RegistryValue;
using qxt::test::ScratchKey;
using qxt::test::TempDir;

namespace {

const wchar_t kKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QXTClient";
const wchar_t* const kStringNames[10] = {L"DisplayIcon", L"DisplayVersion", L"InstallDate", L"UninstallString",
                                         L"DisplayName", L"HelpLink", L"InstallLocation", L"Publisher",
                                         L"URLInfoAbout", L"URLUpdateInfo"};

const WCHAR* StringField(const InstallInfo& info, int i)
{
    const WCHAR* fields[10] = {info.DisplayIcon, info.DisplayVersion,  info.InstallDate, info.UninstallString,
                               info.DisplayName, info.HelpLink,        info.InstallLocation, info.Publisher,
                               info.URLInfoAbout, info.URLUpdateInfo};
    return fields[i];
}

// Gives the key the access list of the SDDL text (the test program owns the
// key, so it may always change its access list again).
bool SetKeyAccess(const wchar_t* path, const wchar_t* sddl)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    qxt::UniqueHkey key;
    LONG result = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, WRITE_DAC, key.Put());
    if (result == ERROR_SUCCESS)
        result = ::RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, descriptor);
    ::LocalFree(descriptor);
    return result == ERROR_SUCCESS;
}

void SetField(WCHAR (&field)[MAX_PATH], const wchar_t* text)
{
    std::wcscpy(field, text);
}

class UninstallEntryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(m_key.ExistedBefore()) << "the prefix has an uninstall entry of its own";
        m_folder = m_dir / L"Quolix Client";
        ::CreateDirectoryW(m_folder.c_str(), nullptr);
    }

    // A record of an installation into the folder, with every field set.
    InstallInfo Record() const
    {
        InstallInfo info;
        FillInstallInfo(info, m_folder);
        SetField(info.HelpLink, L"http://help.example/");
        SetField(info.URLInfoAbout, L"");
        SetField(info.URLUpdateInfo, L"http://update.example/quolix");
        info.EstimatedSize = 5 * 1024 * 1024 + 1000;
        info.MajorVersion = 2;
        info.MinorVersion = 7;
        info.NoModify = 1;
        info.NoRepair = 0;
        return info;
    }

    bool PutClient(const wchar_t* helper) const
    {
        return ::CopyFileW(HelperPath(helper).c_str(), (m_folder + L"\\QXTClient.exe").c_str(), FALSE) != FALSE;
    }

    // Reads into a record filled with rubbish first, so that nothing survives by chance.
    BOOL Read(InstallInfo& info) const
    {
        std::memset(&info, 0xAB, sizeof info);
        return ReadUninstallEntry(info);
    }

    ScratchKey m_key{HKEY_LOCAL_MACHINE, kKey};
    TempDir m_dir;
    std::wstring m_folder;
};

TEST_F(UninstallEntryTest, EveryValueIsWrittenWithItsTypeAndSize)
{
    InstallInfo info = Record();
    ASSERT_EQ(WriteUninstallEntry(info), TRUE);

    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kKey, kStringNames[i]), RegistryValue::String(StringField(info, i)))
            << testing::PrintToString(std::wstring(kStringNames[i]));
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kKey, L"URLInfoAbout").data.size(), 2u) << "an empty string is its NUL";
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kKey, L"EstimatedSize"), RegistryValue::Dword(5 * 1024));
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kKey, L"MajorVersion"), RegistryValue::Dword(2));
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kKey, L"MinorVersion"), RegistryValue::Dword(7));
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kKey, L"NoModify"), RegistryValue::Dword(1));
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kKey, L"NoRepair"), RegistryValue::Dword(0));
    EXPECT_EQ(qxt::test::ValueNames(HKEY_LOCAL_MACHINE, kKey).size(), 15u);
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kKey, L"InstallLocation"), RegistryValue::String(m_folder));
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kKey, L"DisplayIcon"),
              RegistryValue::String(m_folder + L"\\QXTClient.exe,0"));
}

// An entry whose key refuses the setup program its values (a policy, a
// security program): nothing is written, and the log says why.
TEST_F(UninstallEntryTest, AnEntryTheSystemRefusesIsAFailureWithItsReason)
{
    ASSERT_TRUE(qxt::test::WriteString(HKEY_LOCAL_MACHINE, kKey, L"Comments", L"kept"));
    ASSERT_TRUE(SetKeyAccess(kKey, L"D:(D;;0x2;;;WD)(A;;KA;;;WD)"));  // no KEY_SET_VALUE for anyone
    InstallInfo info = Record();

    qxt::test::RunLogCapture log;
    const BOOL written = WriteUninstallEntry(info);
    const std::vector<std::string> errors = log.EventsStartingWith("error: ");
    ASSERT_TRUE(SetKeyAccess(kKey, L"D:(A;;KA;;;WD)"));

    EXPECT_EQ(written, FALSE);
    std::wstring reason = SystemErrorText(ERROR_ACCESS_DENIED);
    while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r'))
        reason.pop_back();
    EXPECT_EQ(errors, std::vector<std::string>{"error: Registry key HKLM\\" + ToUtf8(kKey) +
                                               ": cannot be created: " + ToUtf8(reason)});
    EXPECT_EQ(qxt::test::ValueNames(HKEY_LOCAL_MACHINE, kKey), std::vector<std::wstring>{L"Comments"});
}

TEST_F(UninstallEntryTest, TheSizeIsWrittenInWholeKibibytes)
{
    // Past 4 GiB the bytes are not cut to 32 bits, and a size beyond what the
    // value holds in KiB shows as its largest.
    static const struct {
        ULONGLONG bytes;
        DWORD kib;
    } kCases[] = {{0, 0},
                  {1023, 0},
                  {1024, 1},
                  {1048575, 1023},
                  {1048576, 1024},
                  {0xFFFFFFFF, 4194303},
                  {0x100000000ull, 4194304},
                  {5ull << 30, 5242880},
                  {0x3FFFFFFFFFFull, 0xFFFFFFFF},
                  {0x40000000000ull, 0xFFFFFFFF},
                  {~0ull, 0xFFFFFFFF}};
    for (const auto& c : kCases) {
        InstallInfo info = Record();
        info.EstimatedSize = c.bytes;
        ASSERT_EQ(WriteUninstallEntry(info), TRUE);
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kKey, L"EstimatedSize"), RegistryValue::Dword(c.kib))
            << c.bytes << " bytes";
    }
}

TEST_F(UninstallEntryTest, AnExistingEntryGetsEveryValueReplacedAndKeepsOthers)
{
    ASSERT_TRUE(qxt::test::WriteString(HKEY_LOCAL_MACHINE, kKey, L"DisplayName", L"Old name"));
    ASSERT_TRUE(qxt::test::WriteDword(HKEY_LOCAL_MACHINE, kKey, L"EstimatedSize", 99));
    ASSERT_TRUE(qxt::test::WriteString(HKEY_LOCAL_MACHINE, kKey, L"Comments", L"kept"));
    InstallInfo info = Record();

    ASSERT_EQ(WriteUninstallEntry(info), TRUE);

    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kKey, L"DisplayName"), RegistryValue::String(L"Quolix"));
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kKey, L"EstimatedSize"), RegistryValue::Dword(5 * 1024));
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kKey, L"Comments"), RegistryValue::String(L"kept"));
}

TEST_F(UninstallEntryTest, WithoutAnEntryTheRecordIsAllZero)
{
    InstallInfo info;
    EXPECT_EQ(Read(info), FALSE);
    InstallInfo zero;
    std::memset(&zero, 0, sizeof zero);
    EXPECT_EQ(std::memcmp(&info, &zero, sizeof info), 0);
}

TEST_F(UninstallEntryTest, AWrittenEntryReadsBackAsTheRecord)
{
    ASSERT_TRUE(PutClient(L"clientversion.exe"));
    InstallInfo written = Record();
    ASSERT_EQ(WriteUninstallEntry(written), TRUE);

    InstallInfo read;
    ASSERT_EQ(Read(read), TRUE);

    for (int i = 0; i < 10; ++i) {
        if (i == 1)
            continue;  // the version comes from the client
        EXPECT_STREQ(StringField(read, i), StringField(written, i)) << testing::PrintToString(kStringNames[i]);
    }
    EXPECT_EQ(read.EstimatedSize, 5u * 1024 * 1024);  // the KiB, the remainder was dropped
    EXPECT_EQ(read.NoModify, 1u);
    EXPECT_EQ(read.NoRepair, 0u);
}

TEST_F(UninstallEntryTest, TheVersionIsTheInstalledClientsAndNeverTheEntrys)
{
    static const struct {
        const char* label;
        const wchar_t* client;  // nullptr: no client executable
        const wchar_t* displayVersion;
        DWORD major, minor;
    } kCases[] = {
        {"client 2.5.0.7", L"clientversion.exe", L"2.5.0.7", 2, 5},
        {"client without version information", L"fakeinstaller.exe", L"1.0", 1, 0},
        {"no client", nullptr, L"1.0", 1, 0},
    };
    ASSERT_TRUE(qxt::test::WriteString(HKEY_LOCAL_MACHINE, kKey, L"InstallLocation", m_folder));
    ASSERT_TRUE(qxt::test::WriteString(HKEY_LOCAL_MACHINE, kKey, L"DisplayVersion", L"3.0"));
    ASSERT_TRUE(qxt::test::WriteDword(HKEY_LOCAL_MACHINE, kKey, L"MajorVersion", 3));
    ASSERT_TRUE(qxt::test::WriteDword(HKEY_LOCAL_MACHINE, kKey, L"MinorVersion", 0));
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        ::DeleteFileW((m_folder + L"\\QXTClient.exe").c_str());
        if (c.client) {
            ASSERT_TRUE(PutClient(c.client));
        }
        InstallInfo info;
        ASSERT_EQ(Read(info), TRUE);
        EXPECT_STREQ(info.DisplayVersion, c.displayVersion);
        EXPECT_EQ(info.MajorVersion, c.major);
        EXPECT_EQ(info.MinorVersion, c.minor);
    }
}

TEST_F(UninstallEntryTest, NumbersConvertAndDefaultAsTheyShould)
{
    static const struct {
        const char* label;
        DWORD type;  // REG_NONE: the three values are missing
        DWORD estimatedSize, flags;
        ULONGLONG expectedSize;
        DWORD expectedFlags;
    } kCases[] = {
        {"2048 KiB", REG_DWORD, 2048, 0, 2097152, 0},
        {"the largest KiB count, past 4 GiB", REG_DWORD, 0xFFFFFFFF, 0, 0x3FFFFFFFC00ull, 0},
        {"missing", REG_NONE, 0, 0, 0, 1},
        {"strings instead of numbers", REG_SZ, 2048, 0, 0, 1},
        {"binary instead of numbers", REG_BINARY, 2048, 0, 0, 1},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        m_key.Remove();
        ASSERT_TRUE(qxt::test::WriteString(HKEY_LOCAL_MACHINE, kKey, L"DisplayName", L"Quolix"));
        if (c.type == REG_SZ) {
            ASSERT_TRUE(qxt::test::WriteString(HKEY_LOCAL_MACHINE, kKey, L"EstimatedSize", L"2048"));
            for (const wchar_t* name : {L"NoModify", L"NoRepair"})
                ASSERT_TRUE(qxt::test::WriteString(HKEY_LOCAL_MACHINE, kKey, name, L"0"));
        } else if (c.type != REG_NONE) {
            ASSERT_TRUE(qxt::test::WriteValue(HKEY_LOCAL_MACHINE, kKey, L"EstimatedSize", c.type, &c.estimatedSize, 4));
            for (const wchar_t* name : {L"NoModify", L"NoRepair"})
                ASSERT_TRUE(qxt::test::WriteValue(HKEY_LOCAL_MACHINE, kKey, name, c.type, &c.flags, 4));
        }
        InstallInfo info;
        ASSERT_EQ(Read(info), TRUE);
        EXPECT_EQ(info.EstimatedSize, c.expectedSize);
        EXPECT_EQ(info.NoModify, c.expectedFlags);
        EXPECT_EQ(info.NoRepair, c.expectedFlags);
        EXPECT_STREQ(info.DisplayName, L"Quolix");
        EXPECT_STREQ(info.HelpLink, L"") << "a missing string is empty";
    }
}

TEST_F(UninstallEntryTest, OverLongAndWronglyTypedStringsReadAsEmpty)
{
    const std::wstring longest(259, L'L');   // fits with its NUL
    const std::wstring unended(260, L'U');   // fills the field without a NUL
    const std::wstring tooLong(300, L'T');
    const std::wstring shortUnended = L"Tarvenn";
    struct Value {
        const wchar_t* name;
        DWORD type;
        const wchar_t* data;
        DWORD size;
        const wchar_t* expected;
    };
    const Value kValues[] = {
        {L"DisplayIcon", REG_SZ, longest.c_str(), 260 * 2, longest.c_str()},
        {L"DisplayVersion", REG_SZ, L"3.0", 8, L"1.0"},  // replaced by the client's (missing) version
        {L"InstallDate", REG_SZ, unended.c_str(), 260 * 2, L""},
        {L"UninstallString", REG_SZ, tooLong.c_str(), 301 * 2, L""},
        {L"DisplayName", REG_EXPAND_SZ, L"Quolix", 14, L""},
        {L"HelpLink", REG_MULTI_SZ, L"a\0b\0", 10, L""},
        {L"InstallLocation", REG_SZ, L"", 0, L""},
        {L"Publisher", REG_SZ, shortUnended.c_str(), 7 * 2, L"Tarvenn"},
        {L"URLInfoAbout", REG_BINARY, L"http", 8, L""},
        {L"URLUpdateInfo", REG_DWORD, L"ab", 4, L""},
    };
    for (const auto& v : kValues)
        ASSERT_TRUE(qxt::test::WriteValue(HKEY_LOCAL_MACHINE, kKey, v.name, v.type, v.data, v.size));

    InstallInfo info;
    ASSERT_EQ(Read(info), TRUE);

    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(std::wstring(StringField(info, i)), std::wstring(kValues[i].expected))
            << testing::PrintToString(std::wstring(kValues[i].name));
}

}  // namespace
