// Turns the WM_DOWNLOAD_PROGRESS messages of one transfer into one entry, so
// tests can compare whole download sequences without knowing how the bytes
// happened to arrive in chunks.
#pragma once

#include "tests/support/MessageRecorder.h"

#include <string>
#include <vector>

namespace qxt::test {

// Not a real message: stands for one transfer, wParam the bytes written,
// lParam the declared length.
constexpr UINT kTransfer = WM_APP + 0x3F0;

// Replaces every run of WM_DOWNLOAD_PROGRESS that starts at position 0 by one
// kTransfer(last position, declared length). Each run must keep one declared
// length and climb; how far each step goes is the download's choice (it
// reports when the bar's whole percent changes or time has passed, so a step
// may span many chunks). What breaks that is described in problems (empty
// when all is well). Other messages pass through unchanged.
std::vector<RecordedMessage> CollapseTransfers(const std::vector<RecordedMessage>& messages,
                                               std::string& problems);

}  // namespace qxt::test
