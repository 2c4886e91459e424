// The messages of a download whose transfers run at once, checked for what
// must hold whichever order they finish in.
#pragma once

#include "tests/support/MessageRecorder.h"

#include <string>
#include <vector>

namespace qxt::test {

struct WholeDownloadShape {
    std::vector<std::wstring> checked;  // entries read ahead: one "正在校验..." each, in any order
    std::vector<std::wstring> fetched;  // files whose transfer lands: one "正在下载..." each, in any order
    size_t kept = 0;                    // files found current
    size_t count = 0;                   // entries of the list
    ULONGLONG upper = 0;                // the bar's upper end: the list's bytes, or count
};

// Empty when messages have the shape of a complete run: WM_DOWNLOAD_BEGIN
// (the list's own transfer is not on the bar); the status line of every file
// read ahead; the counter at the kept files and the bar; then, in any order,
// a status line per transfer (and retries), the counter climbing by one to
// count and the bar never going back, up to its upper end;
// WM_DOWNLOAD_COMPLETE last. Otherwise what differs: from WM_DOWNLOAD_BEGIN
// on, any bar message before the counter starts is one.
std::string WholeDownloadProblems(const std::vector<RecordedMessage>& messages, const WholeDownloadShape& shape);

}  // namespace qxt::test
