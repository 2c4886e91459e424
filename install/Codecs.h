// Registration of the client's codec DLLs with regsvr32.exe, the AVC decoder
// and the product's own codec with its MP3 encoder settings.
#pragma once

#include "core/InstallInfo.h"

#include <windows.h>

inline constexpr wchar_t kAvcDecoderFile[] = L"CoreAVC.ax";
inline constexpr wchar_t kCodecFile[] = L"qxtcodec.dll";
inline constexpr wchar_t kMp3EncoderSettingsKey[] = L"SOFTWARE\\QXTClient\\qxtcodec\\mp3";
// Older codec DLLs the installation unregisters before the codec step, in this
// order, and the settings key of an older MP3 encoder it deletes (HKCU) after
// the first of them.
inline constexpr wchar_t kOldMp3EncoderFile[] = L"mp3encode.dll";
inline constexpr wchar_t kOldMp4MuxFile[] = L"mp4mux.dll";
inline constexpr wchar_t kOldMp4DemuxFile[] = L"mp4demux.dll";
inline constexpr wchar_t kOldAacEncoderFile[] = L"aacencode.dll";
inline constexpr wchar_t kOldMp3EncoderSettingsKey[] = L"Software\\Nuv\\Nuv MP3 Encoder";

// Registers (unregisters) a file of the install folder silently with
// regsvr32.exe. A file that is not there is left alone and counts as success.
// Non-zero on success.
BOOL RegisterComServer(const wchar_t* fileName, InstallInfo& info);
BOOL UnregisterComServer(const wchar_t* fileName, InstallInfo& info);

// Registers the AVC decoder filter.
BOOL InstallAvcDecoder(InstallInfo& info);

// Registers the product's codec DLL and, when that worked, writes its MP3
// encoder settings under HKCU.
BOOL InstallCodecs(InstallInfo& info);
