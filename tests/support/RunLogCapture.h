// The process's run log, opened into a scratch folder for the life of the
// object, so that a test can read back what the code under test logged.
#pragma once

#include "tests/support/TestPaths.h"

#include <string>
#include <vector>

namespace qxt::test {

class RunLogCapture {
public:
    RunLogCapture();
    RunLogCapture(const RunLogCapture&) = delete;
    RunLogCapture& operator=(const RunLogCapture&) = delete;
    ~RunLogCapture();

    // Every line logged so far, without its time stamp, as UTF-8 (the file's
    // own encoding). The log stays open.
    std::vector<std::string> Events() const;
    // The events that begin with prefix.
    std::vector<std::string> EventsStartingWith(const std::string& prefix) const;

private:
    TempDir m_dir;
    std::wstring m_path;
};

}  // namespace qxt::test
