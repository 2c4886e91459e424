// The x264 Video for Windows encoder and its settings for the current user.
#pragma once

#include "core/InstallInfo.h"

#include <windows.h>

inline constexpr wchar_t kX264SettingsKey[] = L"Software\\GNU\\x264";

// Runs the encoder's installer of the install folder silently and, when it
// succeeded, writes the encoder settings under HKCU\Software\GNU\x264.
// Non-zero on success.
BOOL InstallX264Encoder(InstallInfo& info);
