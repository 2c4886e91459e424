// Brings the install folder up to date with the download server's manifest.
#pragma once

#include "core/InstallInfo.h"
#include "download/DownloadFailure.h"
#include "download/DownloadOptions.h"

#include <windows.h>

// Downloads the manifest Client.txt from host into info's install folder and
// then every listed file whose MD5 digest differs from the local copy.
// Returns 1 when every entry is in place, 0 otherwise (also after a cancel).
// A list without entries, or with a line that is not "name|MD5" (a name
// inside the install folder, a digest of 32 hexadecimal digits), fails before
// any file is looked at, with the line in the log.
// Adds each file's size to info.EstimatedSize. Sends the download messages and
// status texts to window with SendMessageW.
//
// cancel is the dialog's cancel flag: a 32-bit word that the dialog's thread
// sets to 1 and this call reads whole, without a lock (between manifest lines,
// between files and between chunks of a transfer).
//
// A file whose transfer fails for a network reason is tried again after the
// pauses of timings; a file left incomplete by an earlier run is picked up
// where it ended.
//
// When it returns 0 and reason is given, *reason says why: the run's code
// and the line the error box adds.
BOOL DownloadClientFiles(const wchar_t* host, const volatile LONG* cancel, HWND window,
                         InstallInfo& info, const DownloadTimings& timings = {},
                         DownloadFailure* reason = nullptr);
