// Why a download of the client's files failed, as far as the user is told.
#pragma once

#include "core/SetupMessages.h"

#include <string>

struct DownloadFailure {
    // The run's result: SETUP_ERR_DOWNLOAD unless a more telling code applies.
    SetupResult code = SETUP_ERR_DOWNLOAD;
    // One line in Chinese the error box shows under its first line, naming
    // what went wrong; empty when there is nothing to add to that first line.
    std::wstring detail;
    // The log's line that tells what failed (the failed request's own line,
    // a refusal), for the run's last line; empty: the last error logged.
    // Transfers running at once log their own lines, so the last one logged
    // need not be this failure's.
    std::wstring cause;
};
