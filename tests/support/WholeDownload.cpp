#include "tests/support/WholeDownload.h"

#include "core/SetupMessages.h"

#include <algorithm>

namespace qxt::test {

namespace {

std::string Narrow(const std::wstring& text)
{
    std::string out;
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size > 1) {
        out.resize(static_cast<size_t>(size - 1));
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
    }
    return out;
}

bool StartsWith(const std::wstring& text, const std::wstring& start)
{
    return text.compare(0, start.size(), start) == 0;
}

// Removes name from names; false when it is not there.
bool TakeName(std::vector<std::wstring>& names, const std::wstring& name)
{
    const auto found = std::find(names.begin(), names.end(), name);
    if (found == names.end())
        return false;
    names.erase(found);
    return true;
}

}  // namespace

std::string WholeDownloadProblems(const std::vector<RecordedMessage>& messages, const WholeDownloadShape& shape)
{
    const std::wstring kChecking = L"正在校验...";
    const std::wstring kFetching = L"正在下载...";
    const std::wstring kRetrying = L"正在重试...";
    std::string problems;
    size_t i = 0;
    if (messages.empty() || messages[0].message != WM_DOWNLOAD_BEGIN)
        return "no WM_DOWNLOAD_BEGIN first\n";
    ++i;

    std::vector<std::wstring> checked = shape.checked;
    for (; i < messages.size() && messages[i].message == WM_SETUP_STATUS_TEXT &&
           StartsWith(messages[i].text, kChecking);
         ++i)
        if (!TakeName(checked, messages[i].text.substr(kChecking.size())))
            problems += "read ahead twice or not listed: " + Describe(messages[i]) + "\n";
    for (const std::wstring& name : checked)
        problems += "not read ahead: " + Narrow(name) + "\n";

    if (i + 1 >= messages.size() || messages[i].message != WM_DOWNLOAD_FILE_INDEX ||
        messages[i].wParam != shape.kept || static_cast<size_t>(messages[i].lParam) != shape.count ||
        messages[i + 1].message != WM_DOWNLOAD_PROGRESS || static_cast<ULONGLONG>(messages[i + 1].lParam) != shape.upper)
        return problems + "the counter and the bar do not start at the kept files after the reading: " +
               (i < messages.size() ? Describe(messages[i]) : std::string("the end")) + "\n";
    size_t done = shape.kept;
    ULONGLONG position = messages[i + 1].wParam;
    i += 2;

    std::vector<std::wstring> fetched = shape.fetched;
    for (; i < messages.size() && messages[i].message != WM_DOWNLOAD_COMPLETE; ++i) {
        const RecordedMessage& m = messages[i];
        if (m.message == WM_SETUP_STATUS_TEXT && StartsWith(m.text, kFetching)) {
            if (!TakeName(fetched, m.text.substr(kFetching.size())))
                problems += "a transfer started twice or not expected: " + Describe(m) + "\n";
        }
        else if (m.message == WM_SETUP_STATUS_TEXT && StartsWith(m.text, kRetrying)) {
        }
        else if (m.message == WM_DOWNLOAD_FILE_INDEX) {
            if (m.wParam != done + 1 || static_cast<size_t>(m.lParam) != shape.count)
                problems += "the counter does not climb by one: " + Describe(m) + "\n";
            done = m.wParam;
        }
        else if (m.message == WM_DOWNLOAD_PROGRESS) {
            if (static_cast<ULONGLONG>(m.lParam) != shape.upper || static_cast<ULONGLONG>(m.wParam) < position ||
                static_cast<ULONGLONG>(m.wParam) > shape.upper)
                problems += "the bar goes back or leaves its range: " + Describe(m) + "\n";
            position = m.wParam;
        }
        else
            problems += "unexpected during the transfers: " + Describe(m) + "\n";
    }
    for (const std::wstring& name : fetched)
        problems += "no transfer for " + Narrow(name) + "\n";
    if (done != shape.count)
        problems += "the counter ends at " + std::to_string(done) + "\n";
    if (position != shape.upper)
        problems += "the bar ends at " + std::to_string(position) + "\n";
    if (i + 1 != messages.size() || messages[i].message != WM_DOWNLOAD_COMPLETE)
        problems += "WM_DOWNLOAD_COMPLETE is not the last message\n";
    return problems;
}

}  // namespace qxt::test
