#include "core/InstallInfo.h"

#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <string>

using qxt::test::HelperPath;
using qxt::test::TempDir;

namespace {

TEST(InstallFilePath, AddsOneBackslashOnlyWhenMissing)
{
    static const struct {
        const wchar_t* label;
        const wchar_t* location;
        const wchar_t* expected;
    } cases[] = {
        {L"plain folder", L"C:\\Program Files\\QXTClient", L"C:\\Program Files\\QXTClient\\QXTClient.exe"},
        {L"trailing backslash", L"C:\\Program Files\\QXTClient\\", L"C:\\Program Files\\QXTClient\\QXTClient.exe"},
        {L"drive root", L"D:\\", L"D:\\QXTClient.exe"},
        {L"empty", L"", L"\\QXTClient.exe"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InstallFilePath(std::wstring(c.location), L"QXTClient.exe"), c.expected) << c.label;
}

TEST(InstallFilePath, TheRecordsFolderGivesTheSamePathAndStaysUnchanged)
{
    InstallInfo info{};
    std::wcscpy(info.InstallLocation, L"E:\\Apps\\");
    EXPECT_EQ(InstallFilePath(info, L"QXTClient.ini"), L"E:\\Apps\\QXTClient.ini");
    EXPECT_STREQ(info.InstallLocation, L"E:\\Apps\\");
}

// The record between guard bytes, every byte set to a sentinel first, so
// that a byte the fill forgot or wrote beyond the record shows.
struct GuardedRecord {
    unsigned char before[64];
    InstallInfo info;
    unsigned char after[64];

    GuardedRecord() { std::memset(this, 0xA5, sizeof *this); }
    bool GuardsIntact() const
    {
        for (size_t i = 0; i < 64; ++i)
            if (before[i] != 0xA5 || after[i] != 0xA5)
                return false;
        return true;
    }
};

// Every string field, with its name, for checks over all of them.
struct Field {
    const char* name;
    WCHAR (InstallInfo::*member)[MAX_PATH];
};
const Field kStringFields[] = {
    {"DisplayIcon", &InstallInfo::DisplayIcon},         {"DisplayVersion", &InstallInfo::DisplayVersion},
    {"InstallDate", &InstallInfo::InstallDate},         {"UninstallString", &InstallInfo::UninstallString},
    {"DisplayName", &InstallInfo::DisplayName},         {"HelpLink", &InstallInfo::HelpLink},
    {"InstallLocation", &InstallInfo::InstallLocation}, {"Publisher", &InstallInfo::Publisher},
    {"URLInfoAbout", &InstallInfo::URLInfoAbout},       {"URLUpdateInfo", &InstallInfo::URLUpdateInfo},
};

// Every field is NUL-terminated inside its 260 elements and zero after its
// terminator (the record was cleared before it was filled).
void ExpectWellFormed(const InstallInfo& info)
{
    for (const auto& field : kStringFields) {
        const WCHAR* text = info.*field.member;
        const size_t length = wcsnlen(text, MAX_PATH);
        ASSERT_LT(length, static_cast<size_t>(MAX_PATH)) << field.name << " is not terminated";
        for (size_t i = length; i < MAX_PATH; ++i)
            ASSERT_EQ(text[i], L'\0') << field.name << " has a stale character at " << i;
    }
}

TEST(FillInstallInfo, FixedValuesOfAFreshInstallation)
{
    GuardedRecord record;
    FillInstallInfo(record.info, L"C:\\Program Files\\QXTClient");
    EXPECT_TRUE(record.GuardsIntact());
    ExpectWellFormed(record.info);
    const InstallInfo& info = record.info;
    EXPECT_STREQ(info.DisplayName, L"Quolix");
    EXPECT_STREQ(info.Publisher, L"Tarvenn");
    EXPECT_STREQ(info.HelpLink, L"");
    EXPECT_STREQ(info.URLInfoAbout, L"");
    EXPECT_STREQ(info.URLUpdateInfo, L"");
    EXPECT_EQ(info.EstimatedSize, 0u);
    EXPECT_EQ(info.NoModify, 1u);
    EXPECT_EQ(info.NoRepair, 1u);
}

TEST(FillInstallInfo, PathsComeFromTheFolderWhichIsKeptAsTyped)
{
    static const struct {
        const wchar_t* folder;
        const wchar_t* icon;
        const wchar_t* uninstaller;
    } cases[] = {
        {L"C:\\Program Files\\QXTClient", L"C:\\Program Files\\QXTClient\\QXTClient.exe,0",
         L"C:\\Program Files\\QXTClient\\QXTUnist.exe"},
        {L"C:\\Program Files\\QXTClient\\", L"C:\\Program Files\\QXTClient\\QXTClient.exe,0",
         L"C:\\Program Files\\QXTClient\\QXTUnist.exe"},
        {L"D:\\", L"D:\\QXTClient.exe,0", L"D:\\QXTUnist.exe"},
        {L"", L"\\QXTClient.exe,0", L"\\QXTUnist.exe"},
        {L"C:\\程序\\客户端", L"C:\\程序\\客户端\\QXTClient.exe,0", L"C:\\程序\\客户端\\QXTUnist.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.folder)));
        GuardedRecord record;
        FillInstallInfo(record.info, c.folder);
        EXPECT_TRUE(record.GuardsIntact());
        ExpectWellFormed(record.info);
        EXPECT_STREQ(record.info.InstallLocation, c.folder);
        EXPECT_STREQ(record.info.DisplayIcon, c.icon);
        EXPECT_STREQ(record.info.UninstallString, c.uninstaller);
    }
}

TEST(FillInstallInfo, VersionComesFromAClientExecutableAlreadyInTheFolder)
{
    TempDir withVersion, withoutVersion, empty;
    ASSERT_TRUE(::CopyFileW(HelperPath(L"versioned.exe").c_str(), (withVersion / L"QXTClient.exe").c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(HelperPath(L"exitcode.exe").c_str(), (withoutVersion / L"QXTClient.exe").c_str(), FALSE));
    // Another file by another name in the folder does not count.
    ASSERT_TRUE(::CopyFileW(HelperPath(L"versioned.exe").c_str(), (empty / L"Other.exe").c_str(), FALSE));
    const struct {
        const char* label;
        std::wstring folder;
        const wchar_t* displayVersion;
        DWORD major, minor;
    } cases[] = {
        {"file version 2.1.0.15", withVersion.Path(), L"2.1.0.15", 2, 1},
        {"the same with a trailing backslash", withVersion.Path() + L"\\", L"2.1.0.15", 2, 1},
        {"no version information", withoutVersion.Path(), L"1.0", 1, 0},
        {"no client executable", empty.Path(), L"1.0", 1, 0},
        {"missing folder", empty / L"missing", L"1.0", 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        GuardedRecord record;
        FillInstallInfo(record.info, c.folder);
        EXPECT_TRUE(record.GuardsIntact());
        ExpectWellFormed(record.info);
        EXPECT_STREQ(record.info.DisplayVersion, c.displayVersion);
        EXPECT_EQ(record.info.MajorVersion, c.major);
        EXPECT_EQ(record.info.MinorVersion, c.minor);
    }
}

TEST(FillInstallInfo, InstallDateIsTodayInEightDigits)
{
    SYSTEMTIME before{}, after{};
    ::GetLocalTime(&before);
    InstallInfo info;
    FillInstallInfo(info, L"C:\\QXTClient");
    ::GetLocalTime(&after);

    const std::wstring date = info.InstallDate;
    ASSERT_EQ(date.size(), 8u);
    EXPECT_EQ(date.find_first_not_of(L"0123456789"), std::wstring::npos);
    // The day may change during the call.
    wchar_t expectedBefore[16], expectedAfter[16];
    std::swprintf(expectedBefore, 16, L"%04d%02d%02d", before.wYear, before.wMonth, before.wDay);
    std::swprintf(expectedAfter, 16, L"%04d%02d%02d", after.wYear, after.wMonth, after.wDay);
    EXPECT_TRUE(date == expectedBefore || date == expectedAfter) << testing::PrintToString(date);
}

TEST(FillInstallInfo, ARefillLeavesNothingOfTheEarlierRecord)
{
    InstallInfo info;
    FillInstallInfo(info, L"C:\\A rather long folder name\\for the first installation\\QXTClient");
    info.EstimatedSize = 123456;
    std::wcscpy(info.HelpLink, L"http://help.example/");
    FillInstallInfo(info, L"D:\\Q");
    ExpectWellFormed(info);
    EXPECT_STREQ(info.InstallLocation, L"D:\\Q");
    EXPECT_STREQ(info.DisplayIcon, L"D:\\Q\\QXTClient.exe,0");
    EXPECT_STREQ(info.HelpLink, L"");
    EXPECT_EQ(info.EstimatedSize, 0u);
}

// A folder text under C:\ of exactly `length` characters.
std::wstring FolderOfLength(size_t length, bool trailingBackslash)
{
    std::wstring folder = L"C:\\";
    while (folder.size() < length) {
        const size_t room = length - folder.size();
        if (room > 40)
            folder += std::wstring(39, L'd') + L"\\";
        else
            folder += std::wstring(room, L'e');
    }
    if (trailingBackslash)
        folder.back() = L'\\';
    return folder;
}

TEST(FillInstallInfo, LongFoldersNeverOverflowAFieldNorLeaveAPathCutShort)
{
    // With no trailing backslash the client path with ",0" adds 16 characters
    // and the uninstaller path 13; a field holds 259.
    static const struct {
        size_t length;
        bool trailingBackslash;
        bool locationFits, iconFits, uninstallerFits;
    } cases[] = {
        {243, false, true, true, true},     {244, false, true, false, true},   {244, true, true, true, true},
        {246, false, true, false, true},    {247, false, true, false, false},  {247, true, true, false, true},
        {259, false, true, false, false},   {259, true, true, false, false},   {260, false, false, false, false},
        {261, false, false, false, false},  {300, false, false, false, false}, {300, true, false, false, false},
        {5000, false, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.length << (c.trailingBackslash ? " with trailing backslash" : ""));
        const std::wstring folder = FolderOfLength(c.length, c.trailingBackslash);
        ASSERT_EQ(folder.size(), c.length);
        GuardedRecord record;
        FillInstallInfo(record.info, folder);
        EXPECT_TRUE(record.GuardsIntact());
        ExpectWellFormed(record.info);

        // A value that does not fit is left empty, never cut short.
        const InstallInfo& info = record.info;
        EXPECT_EQ(std::wstring(info.InstallLocation), c.locationFits ? folder : L"");
        EXPECT_EQ(std::wstring(info.DisplayIcon), c.iconFits ? InstallFilePath(folder, L"QXTClient.exe") + L",0" : L"");
        EXPECT_EQ(std::wstring(info.UninstallString),
                  c.uninstallerFits ? InstallFilePath(folder, L"QXTUnist.exe") : L"");
        // The rest of the record is filled as for any folder.
        EXPECT_STREQ(info.DisplayName, L"Quolix");
        EXPECT_STREQ(info.DisplayVersion, L"1.0");
        EXPECT_EQ(std::wcslen(info.InstallDate), 8u);
        EXPECT_EQ(info.NoRepair, 1u);

        EXPECT_EQ(InstallFolderFits(folder), c.locationFits && c.iconFits && c.uninstallerFits);
    }
}

}  // namespace
