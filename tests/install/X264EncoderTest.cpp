// The x264 encoder step: its installer and the settings it writes for the
// current user, read back with their types and sizes.
#include "install/X264Encoder.h"

#include "framework/SystemErrorText.h"
#include "tests/install/InstallerFolder.h"
#include "tests/install/RegistryValues.h"
#include "tests/support/MessageBoxWatcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using qxt::test::InstallerFolder;
using qxt::test::MessageBoxWatcher;
using qxt::test::ReadValue;
using qxt::test::RegistryValue;
using qxt::test::ScratchKey;

namespace {

const wchar_t kInstaller[] = L"x264vfw.exe";
const wchar_t kKey[] = L"Software\\GNU\\x264";

struct Expected {
    const wchar_t* name;
    RegistryValue value;
};

std::vector<Expected> ExpectedSettings()
{
    return {
        {L"preset", RegistryValue::String(L"medium")},
        {L"tuning", RegistryValue::String(L"")},
        {L"profile", RegistryValue::String(L"main")},
        {L"statsfile", RegistryValue::String(L".\\x264.stats")},
        {L"output_file", RegistryValue::String(L"")},
        {L"extra_cmdline", RegistryValue::String(L"")},
        {L"avc_level", RegistryValue::Dword(11)},
        {L"fastdecode", RegistryValue::Dword(0)},
        {L"zerolatency", RegistryValue::Dword(0)},
        {L"colorspace", RegistryValue::Dword(0)},
        {L"encoding_type", RegistryValue::Dword(4)},
        {L"quantizer", RegistryValue::Dword(23)},
        {L"ratefactor", RegistryValue::Dword(230)},
        {L"passbitrate", RegistryValue::Dword(800)},
        {L"pass_number", RegistryValue::Dword(1)},
        {L"fast1pass", RegistryValue::Dword(0)},
        {L"createstats", RegistryValue::Dword(0)},
        {L"updatestats", RegistryValue::Dword(1)},
        {L"output_mode", RegistryValue::Dword(0)},
        {L"fourcc_num", RegistryValue::Dword(0)},
        {L"vd_hack", RegistryValue::Dword(1)},
        {L"sar_width", RegistryValue::Dword(1)},
        {L"sar_height", RegistryValue::Dword(1)},
        {L"log_level", RegistryValue::Dword(0)},
        {L"psnr", RegistryValue::Dword(1)},
        {L"ssim", RegistryValue::Dword(1)},
        {L"no_asm", RegistryValue::Dword(0)},
        {L"disable_decoder", RegistryValue::Dword(1)},
    };
}

class X264EncoderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(m_key.ExistedBefore()) << "the prefix has x264 settings of its own";
        ASSERT_TRUE(m_folder.AddProgram(kInstaller));
        // Settings of an earlier installation: one the step overwrites, one it leaves.
        ASSERT_TRUE(qxt::test::WriteString(HKEY_CURRENT_USER, kKey, L"preset", L"veryslow"));
        ASSERT_TRUE(qxt::test::WriteDword(HKEY_CURRENT_USER, kKey, L"threads", 8));
    }

    BOOL Run()
    {
        InstallInfo info = m_folder.Record();
        return InstallX264Encoder(info);
    }

    void ExpectSettingsWritten()
    {
        for (const auto& setting : ExpectedSettings())
            EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kKey, setting.name), setting.value)
                << testing::PrintToString(std::wstring(setting.name));
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kKey, L"threads"), RegistryValue::Dword(8));
        EXPECT_EQ(qxt::test::ValueNames(HKEY_CURRENT_USER, kKey).size(), ExpectedSettings().size() + 1);
    }

    InstallerFolder m_folder;
    ScratchKey m_key{HKEY_CURRENT_USER, kKey};
};

TEST_F(X264EncoderTest, ASuccessfulInstallerIsFollowedByTheSettings)
{
    EXPECT_EQ(Run(), TRUE);

    const auto runs = m_folder.Runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].name, kInstaller);
    EXPECT_EQ(runs[0].parameters, L"/S");
    ExpectSettingsWritten();
}

TEST_F(X264EncoderTest, TheSettingsKeyIsCreatedWhenMissing)
{
    m_key.Remove();
    EXPECT_EQ(Run(), TRUE);
    for (const auto& setting : ExpectedSettings())
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kKey, setting.name), setting.value)
            << testing::PrintToString(std::wstring(setting.name));
}

TEST_F(X264EncoderTest, AFailedInstallerLeavesTheSettingsAlone)
{
    m_folder.SetExitCodes(kInstaller, L"1");

    EXPECT_EQ(Run(), FALSE);

    EXPECT_EQ(m_folder.Runs().size(), 1u);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kKey, L"preset"), RegistryValue::String(L"veryslow"));
    EXPECT_EQ(qxt::test::ValueNames(HKEY_CURRENT_USER, kKey).size(), 2u);

    // A retry runs the installer again, and this time it succeeds.
    m_folder.SetExitCodes(kInstaller, L"1,0");
    EXPECT_EQ(Run(), TRUE);
    EXPECT_EQ(m_folder.Runs().size(), 2u);
    ExpectSettingsWritten();
}

TEST_F(X264EncoderTest, AMissingInstallerIsReportedAndTheSettingsAreWritten)
{
    ASSERT_TRUE(::DeleteFileW((m_folder / kInstaller).c_str()));
    MessageBoxWatcher watcher(L"", {IDOK});

    EXPECT_EQ(Run(), TRUE);

    const auto boxes = watcher.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, SystemErrorText(ERROR_FILE_NOT_FOUND));
    ExpectSettingsWritten();
}

}  // namespace
