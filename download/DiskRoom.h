// Room on the install folder's volume for what a run must fetch, decided
// before the first byte arrives.
#pragma once

#include "download/FilesInPlace.h"
#include "download/ListedFile.h"
#include "transfer/DownloadFailure.h"

#include <windows.h>

#include <string>
#include <vector>

// The bytes one listed file still needs on the disk: its listed size less
// what an earlier transfer left in its temporary file (the transfer goes on
// from there). The copy in place is not counted as freed: it stays until
// its replacement is whole.
ULONGLONG RoomStillNeeded(ULONGLONG listedSize, ULONGLONG held);

// The line the error box adds when the files do not fit: the space needed
// (rounded up) and the space free (rounded down), in MB with one decimal,
// so the box never shows a need that seems to fit.
std::wstring NoRoomLine(ULONGLONG needed, ULONGLONG available);

// Whether the files still to fetch fit on the install folder's volume; the
// log tells both sizes either way. A volume whose free space cannot be told
// is not refused: the transfers find out. (A file named twice counts once:
// its later entries are read only when their turn comes.)
bool RoomForFetches(const std::wstring& folder, const std::vector<ListedFile>& entries,
                    const std::vector<LocalCopy>& copies, DownloadFailure& failure);
