// Deleting a file or a folder with everything in it through the shell.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

// SHFileOperationW with FO_DELETE and the flags of ShellDeleteFlags:
// permanent, without asking. Returns the shell's result (0 on success). A
// path the shell cannot take whole (MAX_PATH or longer) is refused rather
// than cut, since a shortened path would name some other file.
int ShellDelete(const std::wstring& path);
// FOF_NOCONFIRMATION only; while the process runs unattended
// (framework/Unattended.h) those of ShellDeleteSilently, since nobody would
// answer the shell's error box.
FILEOP_FLAGS ShellDeleteFlags();
// The same without any window of the shell: no progress, no error box, no
// question (FOF_SILENT | FOF_NOERRORUI | FOF_NOCONFIRMATION), for a deletion
// that runs on a worker thread, which owns no window a box could belong to.
int ShellDeleteSilently(const std::wstring& path);
