// The transfers of one run: every listed file that is not current, up to
// timings.transfers at once.
#pragma once

#include "download/DownloadProgress.h"
#include "download/EarlierListReadAhead.h"
#include "download/FilesInPlace.h"
#include "download/ListedFile.h"
#include "transfer/DownloadFailure.h"
#include "transfer/DownloadOptions.h"

#include <windows.h>

#include <string>
#include <vector>

class ServerList;

// How one entry ended in the transfer stage.
struct FileOutcome {
    bool done = false;       // in place: kept or fetched
    bool failed = false;     // its transfer failed (not stopped)
    bool stopped = false;    // its transfer stopped for a cancel or another's failure
    ULONGLONG length = 0;    // its length, when done
    DownloadFailure failure; // why it failed
    DownloadReport report;
};

// Brings every entry that is not current into place, taken up in list order,
// the entries of one group (one file) one after the other. progress begins
// here, at the files found current. What the user sees of a failure is the
// first failing entry in list order, whichever transfer failed first: a
// failure stops the transfers of the entries after it and lets those before
// it end their file; a cancel shows as the failure of the first entry it
// stopped. False when an entry is not in place.
bool FetchFiles(const std::wstring& folder, const std::vector<ListedFile>& entries,
                const std::vector<std::vector<size_t>>& groups, const EarlierListReadAhead& readAhead,
                std::vector<LocalCopy>& copies, unsigned transfers, bool useSigned, ServerList& servers,
                const DownloadTimings& timings, HWND window, const volatile LONG* cancel, DownloadProgress& progress,
                std::vector<FileOutcome>& outcomes, DownloadFailure& result);
