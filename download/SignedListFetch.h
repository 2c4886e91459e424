// The signed list Client.signed: fetched into the install folder, read back
// once and checked before anything it names is looked at.
#pragma once

#include "download/DownloadTrust.h"
#include "transfer/DownloadFailure.h"
#include "transfer/DownloadOptions.h"
#include "trust/SignedFileList.h"
#include "trust/TrustCheck.h"

#include <windows.h>

#include <string>

class ServerList;

enum class SignedListState { Verified, NotOnServer, Refused, Failed };

// Asks url for the signed list and checks it. Refused fills refusal (and
// webPage, when what came is a web page: a network that answers every
// request with its login page); Failed is a download that did not succeed
// (the network, the disk, a cancel), with failure saying why. Without a key
// a 404 or an answer that is not a signed list is NotOnServer: the plain
// list serves.
SignedListState FetchSignedList(const std::wstring& url, const std::wstring& folder, HWND window,
                                const volatile LONG* cancel, const DownloadTimings& timings,
                                const DownloadTrust& trust, DownloadFailure& failure, SignedFileList& list,
                                TrustRefusal& refusal, bool& webPage, ServerList& servers);
