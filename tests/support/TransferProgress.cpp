#include "tests/support/TransferProgress.h"

#include "core/SetupMessages.h"

namespace qxt::test {

std::vector<RecordedMessage> CollapseTransfers(const std::vector<RecordedMessage>& messages,
                                               std::string& problems)
{
    std::vector<RecordedMessage> out;
    problems.clear();
    size_t i = 0;
    while (i < messages.size()) {
        const RecordedMessage& first = messages[i];
        if (first.message != WM_DOWNLOAD_PROGRESS || first.wParam != 0) {
            out.push_back(first);
            ++i;
            continue;
        }
        RecordedMessage transfer = first;
        transfer.message = kTransfer;
        size_t j = i + 1;
        while (j < messages.size() && messages[j].message == WM_DOWNLOAD_PROGRESS &&
               messages[j].lParam == first.lParam && messages[j].wParam > transfer.wParam) {
            transfer.wParam = messages[j].wParam;
            ++j;
        }
        if (j < messages.size() && messages[j].message == WM_DOWNLOAD_PROGRESS &&
            !(messages[j].wParam == 100 && messages[j].lParam == 100))
            problems += "progress run broken by " + Describe(messages[j]) + "\n";
        out.push_back(transfer);
        i = j;
    }
    return out;
}

}  // namespace qxt::test
