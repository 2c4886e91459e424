// Brings the install folder up to date with the download server's file list.
#pragma once

#include "core/InstallInfo.h"
#include "download/DownloadTrust.h"
#include "transfer/DownloadFailure.h"
#include "transfer/DownloadOptions.h"

#include <windows.h>

#include <string>

// Downloads the file list from host and then every listed file whose local
// copy is not the listed one, into info's install folder.
//
// The signed list (Client.signed) comes first. With the publisher's key it
// must be there and pass every check (signature, format, expiry, version)
// before anything it names is kept or fetched; without a key it is used when
// the server has one (its signature is not demanded), and otherwise the plain
// list Client.txt with its MD5 digests. A file of the signed list is kept
// only when its size and SHA-256 are the listed ones, and a fetched one lands
// only when both match.
//
// Every file in place is read before the first transfer (on as many threads
// as there are processors, up to timings.transfers), each with its status
// line "正在校验..."; the decisions go to the log in list order. With the
// signed list's sizes, the bytes still to arrive (a file's listed size, less
// what its temporary file already holds) are compared with the free space of
// the install folder's volume, and a run that does not fit ends there: the
// log gives both in bytes, and reason's line in MB.
//
// The files to fetch are taken up in list order, up to timings.transfers at
// once (each with "正在下载..." in the status line), over connections kept
// alive between files. Entries naming one file in two spellings are taken up
// one after the other, the later one read again first. When transfers fail,
// the run reports the first failing entry in list order: a failure stops the
// transfers of the entries after it (each keeps its temporary file for the
// next run) and lets those before it end their file.
//
// WM_DOWNLOAD_FILE_INDEX (finished files, entries) counts from the files
// found current to the whole list, one file at a time. WM_DOWNLOAD_PROGRESS
// shows the whole download: the bytes of every listed file with the signed
// list (files in place count whole at once), finished files of the plain
// list.
//
// Returns 1 when every entry is in place, 0 otherwise (also after a cancel).
// A list without entries, or with a line that is not "name|MD5" (a name
// inside the install folder, a digest of 32 hexadecimal digits), fails before
// any file is looked at, with the line in the log.
// Adds the size of each file in place to info.EstimatedSize, also when the
// run fails. Sends the download messages and status texts to window with
// SendMessageW, from several threads: window must belong to a thread that is
// not waiting for this call.
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
// (a code of its own for each trust check) and the line the error box adds.
// After a successful download with the publisher's key, *listVersion (when
// given) is the signed list's version, to be kept once the whole run has
// succeeded; otherwise 0.
//
// host may name several servers, separated by commas (ServerList): the run
// starts on the first and leaves a server that fails for a network reason or
// a 5xx answer after its retries for the next, for the rest of the run; a
// transfer goes on there from the byte it reached. The list comes whole from
// one server, and every server's files are checked against it. After a
// successful download *listHost (when given) is the host that served the
// list, without its scheme.
BOOL DownloadClientFiles(const wchar_t* host, const volatile LONG* cancel, HWND window, InstallInfo& info,
                         const DownloadTimings& timings = {}, DownloadFailure* reason = nullptr,
                         const DownloadTrust& trust = {}, ULONGLONG* listVersion = nullptr,
                         std::wstring* listHost = nullptr);
