// A trust check's refusal as the run reports it: a line in the log naming
// the check with both values, the run's code, and the line the error box adds.
#pragma once

#include "transfer/DownloadFailure.h"
#include "trust/TrustCheck.h"

#include <windows.h>

#include <string>

// Logs "WHAT refused: CHECK: expected ..., received ..." as an error and
// fills failure with the refusal's code, the box's line (name: the file, for
// a file's refusal) and that log line as its cause. Returns 0, for a caller that ends the run with it.
BOOL ReportRefusal(const TrustRefusal& refusal, const wchar_t* what, DownloadFailure& failure,
                   const std::wstring& name = {});
