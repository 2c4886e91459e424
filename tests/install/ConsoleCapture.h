// Catches what the code under test prints to the standard output, by pointing
// the process's descriptor 1 at a scratch file while the object lives.
#pragma once

#include <string>
#include <vector>

namespace qxt::test {

class ConsoleCapture {
public:
    ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;
    ~ConsoleCapture();

    // Ends the capture (once) and gives every line printed, each with its "\n".
    std::vector<std::string> Lines();

private:
    void Stop();

    std::wstring m_path;
    int m_saved = -1;
    bool m_stopped = false;
    std::string m_text;
};

}  // namespace qxt::test
