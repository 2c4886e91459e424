#include "install/Codecs.h"

#include "framework/FileSystem.h"
#include "framework/Process.h"
#include "framework/RegistryKey.h"
#include "framework/RegistryWrite.h"

#include <string>

namespace {

struct NumberSetting {
    const wchar_t* name;
    DWORD value;
};

// The MP3 encoder's settings, written in this order.
constexpr NumberSetting kMp3EncoderSettings[] = {
    {L"Bitrate", 24},
    {L"Variable", 0},
    {L"VariableMin", 80},
    {L"VariableMax", 160},
    {L"Quality", 7},
    {L"VBR Quality", 4},
    {L"CRC", 0},
    {L"Force Mono", 0},
    {L"Set Duration", 1},
    {L"Allow sample overlap", 1},
    {L"PES", 0},
    {L"Copyright", 0},
    {L"Original", 0},
    {L"Sample Rate", 11025},
    {L"Stereo Mode", 1},
    {L"Force MS", 0},
    {L"Xing Tag", 0},
    {L"No Short Block", 0},
    {L"Strict ISO", 0},
    {L"Keep All Frequencies", 0},
    {L"Voice Mode", 0},
    {L"EnforceVBRmin", 0},
    {L"Mode Fixed", 0},
};

// regsvr32.exe silently, with the options before the quoted path of the file.
BOOL RunRegsvr32(const wchar_t* options, const wchar_t* fileName, const InstallInfo& info)
{
    const std::wstring path = InstallFilePath(info, fileName);
    if (!FileExists(path.c_str()))
        return TRUE;  // nothing to (un)register is no failure
    const std::wstring parameters = std::wstring(options) + L" \"" + path + L"\"";
    return RunAndWait(L"regsvr32.exe", parameters.c_str(), false, true) == 0 ? TRUE : FALSE;
}

}  // namespace

BOOL RegisterComServer(const wchar_t* fileName, InstallInfo& info)
{
    return RunRegsvr32(L"/s", fileName, info);
}

BOOL UnregisterComServer(const wchar_t* fileName, InstallInfo& info)
{
    return RunRegsvr32(L"/s /u", fileName, info);
}

BOOL InstallAvcDecoder(InstallInfo& info)
{
    return RegisterComServer(kAvcDecoderFile, info);
}

BOOL InstallCodecs(InstallInfo& info)
{
    if (!RegisterComServer(kCodecFile, info))
        return FALSE;

    RegistryKey key;
    if (!key.Open(HKEY_CURRENT_USER, kMp3EncoderSettingsKey) && !key.Create(HKEY_CURRENT_USER, kMp3EncoderSettingsKey))
        return TRUE;
    // As with the encoder's settings: an error in the log, not a failed step.
    for (const auto& setting : kMp3EncoderSettings)
        WriteRegistryDword(key, setting.name, setting.value);
    key.Close();
    return TRUE;
}
