// Registering and unregistering codec DLLs of the install folder with Wine's
// own regsvr32.exe, on stand-in COM servers that log their calls; the MP3
// encoder settings of the codec step.
#include "install/Codecs.h"

#include "tests/install/InstallerFolder.h"
#include "tests/install/RegistryValues.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using qxt::test::HelperPath;
using qxt::test::InstallerFolder;
using qxt::test::ReadValue;
using qxt::test::RegistryValue;
using qxt::test::ScratchKey;

namespace {

using Lines = std::vector<std::wstring>;

const wchar_t kMp3Key[] = L"SOFTWARE\\QXTClient\\qxtcodec\\mp3";

class CodecsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(m_key.ExistedBefore()) << "the prefix has codec settings of its own"; }
    void TearDown() override { EXPECT_TRUE(m_watcher.Boxes().empty()) << "regsvr32 /s shows nothing"; }

    // A codec DLL of the install folder: the working or the failing stand-in.
    bool AddCodec(const std::wstring& name, bool fails = false)
    {
        const std::wstring source = HelperPath(fails ? L"testcodec_failing.dll" : L"testcodec.dll");
        return ::CopyFileW(source.c_str(), (m_folder / name).c_str(), FALSE) != FALSE;
    }

    // "FILE|register or unregister|regsvr32's parameters" per call.
    Lines Calls() const
    {
        Lines calls;
        const std::wstring text = qxt::test::FromUtf8(qxt::test::ReadFileBytes(m_folder / L"codecs.log"));
        for (size_t begin = 0; begin < text.size();) {
            const size_t end = text.find(L'\n', begin);
            calls.push_back(text.substr(begin, end - begin));
            begin = end == std::wstring::npos ? text.size() : end + 1;
        }
        return calls;
    }
    void ClearCalls() { ::DeleteFileW((m_folder / L"codecs.log").c_str()); }

    // The record as FillInstallInfo makes it, with or without a trailing backslash.
    InstallInfo Record(bool trailingBackslash = false) const
    {
        InstallInfo info;
        FillInstallInfo(info, m_folder.Path() + (trailingBackslash ? L"\\" : L""));
        return info;
    }
    std::wstring Quoted(const std::wstring& name) const { return L"\"" + (m_folder / name) + L"\""; }

    InstallerFolder m_folder;  // its name has a blank
    ScratchKey m_key{HKEY_CURRENT_USER, kMp3Key};
    qxt::test::MessageBoxWatcher m_watcher{L"", {IDOK}};
};

TEST_F(CodecsTest, RegistrationPassesTheQuotedPathToRegsvr32)
{
    ASSERT_TRUE(AddCodec(L"qxtcodec.dll"));
    for (bool trailingBackslash : {false, true}) {
        SCOPED_TRACE(trailingBackslash ? "folder with a trailing backslash" : "folder without");
        ClearCalls();
        InstallInfo info = Record(trailingBackslash);

        EXPECT_EQ(RegisterComServer(L"qxtcodec.dll", info), TRUE);
        EXPECT_EQ(UnregisterComServer(L"qxtcodec.dll", info), TRUE);

        EXPECT_EQ(Calls(), Lines({L"qxtcodec.dll|register|/s " + Quoted(L"qxtcodec.dll"),
                                  L"qxtcodec.dll|unregister|/s /u " + Quoted(L"qxtcodec.dll")}));
    }
}

TEST_F(CodecsTest, AFailingRegistrationEntryPointFailsTheOperation)
{
    ASSERT_TRUE(AddCodec(L"CoreAVC.ax", true));
    ASSERT_TRUE(qxt::test::WriteFileBytes(m_folder / L"mp4mux.dll", "not a DLL"));
    InstallInfo info = Record();

    EXPECT_EQ(InstallAvcDecoder(info), FALSE);
    EXPECT_EQ(UnregisterComServer(L"CoreAVC.ax", info), FALSE);
    EXPECT_EQ(UnregisterComServer(L"mp4mux.dll", info), FALSE) << "a file that cannot be loaded";

    EXPECT_EQ(Calls(), Lines({L"CoreAVC.ax|register|/s " + Quoted(L"CoreAVC.ax"),
                              L"CoreAVC.ax|unregister|/s /u " + Quoted(L"CoreAVC.ax")}));
}

TEST_F(CodecsTest, AMissingFileIsNeitherRegisteredNorAFailure)
{
    InstallInfo info = Record();
    EXPECT_EQ(InstallAvcDecoder(info), TRUE);
    for (const wchar_t* name : {L"mp3encode.dll", L"mp4mux.dll", L"mp4demux.dll", L"aacencode.dll"})
        EXPECT_EQ(UnregisterComServer(name, info), TRUE) << testing::PrintToString(std::wstring(name));
    // Without its DLL the codec step has nothing to register; it still writes the settings.
    EXPECT_EQ(InstallCodecs(info), TRUE);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kMp3Key, L"Sample Rate"), RegistryValue::Dword(11025));
    EXPECT_TRUE(Calls().empty());
}

TEST_F(CodecsTest, TheAvcDecoderIsRegistered)
{
    ASSERT_TRUE(AddCodec(L"CoreAVC.ax"));
    InstallInfo info = Record();
    EXPECT_EQ(InstallAvcDecoder(info), TRUE);
    EXPECT_EQ(Calls(), Lines({L"CoreAVC.ax|register|/s " + Quoted(L"CoreAVC.ax")}));
}

TEST_F(CodecsTest, TheCodecStepRegistersTheCodecAndWritesTheMp3Settings)
{
    static const struct {
        const wchar_t* name;
        DWORD value;
    } kSettings[] = {
        {L"Bitrate", 24},        {L"Variable", 0},     {L"VariableMin", 80},       {L"VariableMax", 160},
        {L"Quality", 7},         {L"VBR Quality", 4},  {L"CRC", 0},                {L"Force Mono", 0},
        {L"Set Duration", 1},    {L"Allow sample overlap", 1}, {L"PES", 0},        {L"Copyright", 0},
        {L"Original", 0},        {L"Sample Rate", 11025}, {L"Stereo Mode", 1},     {L"Force MS", 0},
        {L"Xing Tag", 0},        {L"No Short Block", 0}, {L"Strict ISO", 0},       {L"Keep All Frequencies", 0},
        {L"Voice Mode", 0},      {L"EnforceVBRmin", 0}, {L"Mode Fixed", 0},
    };
    ASSERT_TRUE(AddCodec(L"qxtcodec.dll"));
    ASSERT_TRUE(qxt::test::WriteDword(HKEY_CURRENT_USER, kMp3Key, L"Sample Rate", 44100));
    ASSERT_TRUE(qxt::test::WriteString(HKEY_CURRENT_USER, kMp3Key, L"Preset", L"mine"));
    InstallInfo info = Record();

    EXPECT_EQ(InstallCodecs(info), TRUE);

    EXPECT_EQ(Calls(), Lines({L"qxtcodec.dll|register|/s " + Quoted(L"qxtcodec.dll")}));
    for (const auto& setting : kSettings)
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kMp3Key, setting.name), RegistryValue::Dword(setting.value))
            << testing::PrintToString(std::wstring(setting.name));
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kMp3Key, L"Preset"), RegistryValue::String(L"mine"));
    EXPECT_EQ(qxt::test::ValueNames(HKEY_CURRENT_USER, kMp3Key).size(), std::size(kSettings) + 1);
}

TEST_F(CodecsTest, AFailedCodecRegistrationWritesNoSettings)
{
    ASSERT_TRUE(AddCodec(L"qxtcodec.dll", true));
    InstallInfo info = Record();

    EXPECT_EQ(InstallCodecs(info), FALSE);

    EXPECT_EQ(Calls().size(), 1u);
    EXPECT_FALSE(qxt::test::KeyExists(HKEY_CURRENT_USER, kMp3Key));
}

}  // namespace
