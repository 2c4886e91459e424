// The plain list Client.txt: "name|MD5" lines, fetched into the install
// folder and read whole.
#pragma once

#include "download/ListedFile.h"
#include "transfer/DownloadFailure.h"
#include "transfer/DownloadOptions.h"

#include <windows.h>

#include <string>
#include <vector>

class ServerList;

// Fetches url into folder's Client.txt and reads its entries up to the first
// blank line. A damaged line ends the download before any file is touched
// (the line goes to the log; a web page in its place gets the login line in
// reason). False when it cannot be fetched, read or used, when it names no
// file, or on a cancel.
bool ReadPlainList(const std::wstring& url, const std::wstring& folder, HWND window, const volatile LONG* cancel,
                   const DownloadTimings& timings, DownloadFailure* reason, std::vector<ListedFile>& entries,
                   ServerList& servers);
