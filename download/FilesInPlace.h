// What the install folder already holds of the list: each file read once
// and found current or not, before the first transfer.
#pragma once

#include "download/EarlierListReadAhead.h"
#include "download/ListedFile.h"

#include <windows.h>

#include <string>
#include <vector>

// What a listed file in the install folder was when the run read it.
struct LocalCopy {
    bool examined = false;  // read before the first transfer
    bool current = false;
    ULONGLONG length = 0;   // its length then
    ULONGLONG held = 0;     // what an earlier transfer left in its temporary file
    std::wstring decision;  // the log's line
};

// Reads the file in place and decides whether it is current: the listed size
// and SHA-256 for an entry of the signed list, the listed MD5 otherwise. An
// unreadable local file cannot be shown to be current, so it is fetched
// again, just like a missing one.
LocalCopy Examine(const std::wstring& localPath, const ListedFile& entry, const EarlierListReadAhead& readAhead);

// The list's entries by the file they name: each group holds the entries of
// one file in list order, and the groups are in the order of their first
// entry. Only the first entry of a group is read ahead; the others are taken
// up after it, when the file may have changed.
std::vector<std::vector<size_t>> GroupBySameFile(const std::vector<ListedFile>& entries);

// Reads the first entry of every group on up to threads threads at once (a
// digest is bound by the processor), each taken up with its status line
// "正在校验..."; the decisions go to the log in list order. False on a cancel.
bool ExamineFilesInPlace(const std::wstring& folder, const std::vector<ListedFile>& entries,
                         const std::vector<std::vector<size_t>>& groups, const EarlierListReadAhead& readAhead,
                         std::vector<LocalCopy>& copies, unsigned threads, HWND window, const volatile LONG* cancel);
