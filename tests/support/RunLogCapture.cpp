#include "tests/support/RunLogCapture.h"

#include "framework/LogFile.h"

#include <gtest/gtest.h>

namespace qxt::test {

namespace {

// "YYYY-MM-DD hh:mm:ss.mmm " before every event.
constexpr size_t kStampLength = 24;

}  // namespace

RunLogCapture::RunLogCapture() : m_path(m_dir / L"run.log")
{
    EXPECT_TRUE(ProcessLog().Open(m_path, L"")) << "the run log cannot be opened";
}

RunLogCapture::~RunLogCapture()
{
    ProcessLog().Close();
}

std::vector<std::string> RunLogCapture::Events() const
{
    // The log is shared for reading while it is written.
    const std::string bytes = ReadFileBytes(m_path);
    std::vector<std::string> events;
    size_t start = 0;
    for (size_t end = bytes.find("\r\n"); end != std::string::npos; end = bytes.find("\r\n", start)) {
        const std::string line = bytes.substr(start, end - start);
        events.push_back(line.size() > kStampLength ? line.substr(kStampLength) : std::string());
        start = end + 2;
    }
    return events;
}

std::vector<std::string> RunLogCapture::EventsStartingWith(const std::string& prefix) const
{
    std::vector<std::string> matching;
    for (const std::string& event : Events()) {
        if (event.compare(0, prefix.size(), prefix) == 0)
            matching.push_back(event);
    }
    return matching;
}

}  // namespace qxt::test
