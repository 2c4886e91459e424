#include "install/X264Encoder.h"

#include "framework/Process.h"
#include "framework/RegistryKey.h"
#include "framework/RegistryWrite.h"

#include <string>

namespace {

constexpr wchar_t kX264Installer[] = L"x264vfw.exe";

struct StringSetting {
    const wchar_t* name;
    const wchar_t* value;
};
struct NumberSetting {
    const wchar_t* name;
    DWORD value;
};

// Written in this order: the strings, then the numbers.
constexpr StringSetting kStringSettings[] = {
    {L"preset", L"medium"},  {L"tuning", L""},        {L"profile", L"main"},
    {L"statsfile", L".\\x264.stats"}, {L"output_file", L""}, {L"extra_cmdline", L""},
};
constexpr NumberSetting kNumberSettings[] = {
    {L"avc_level", 11},    {L"fastdecode", 0},  {L"zerolatency", 0},     {L"colorspace", 0},
    {L"encoding_type", 4}, {L"quantizer", 23},  {L"ratefactor", 230},    {L"passbitrate", 800},
    {L"pass_number", 1},   {L"fast1pass", 0},   {L"createstats", 0},     {L"updatestats", 1},
    {L"output_mode", 0},   {L"fourcc_num", 0},  {L"vd_hack", 1},         {L"sar_width", 1},
    {L"sar_height", 1},    {L"log_level", 0},   {L"psnr", 1},            {L"ssim", 1},
    {L"no_asm", 0},        {L"disable_decoder", 1},
};

}  // namespace

BOOL InstallX264Encoder(InstallInfo& info)
{
    const std::wstring installer = InstallFilePath(info, kX264Installer);
    if (RunAndWait(installer.c_str(), L"/S", false, true) != 0)
        return FALSE;

    RegistryKey key;
    if (!key.Open(HKEY_CURRENT_USER, kX264SettingsKey) && !key.Create(HKEY_CURRENT_USER, kX264SettingsKey))
        return TRUE;
    // A setting that cannot be written is an error in the log; the encoder
    // itself is installed, so the step still succeeds.
    for (const auto& setting : kStringSettings)
        WriteRegistryString(key, setting.name, setting.value);
    for (const auto& setting : kNumberSettings)
        WriteRegistryDword(key, setting.name, setting.value);
    key.Close();
    return TRUE;
}
