#include "tests/install/ConsoleCapture.h"

#include "tests/support/TestPaths.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdio>

namespace qxt::test {

ConsoleCapture::ConsoleCapture()
{
    wchar_t folder[MAX_PATH] = {};
    wchar_t file[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    ::GetTempFileNameW(folder, L"out", 0, file);
    m_path = file;

    std::fflush(stdout);
    m_saved = _dup(1);
    const int fd = _wopen(m_path.c_str(), _O_WRONLY | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd >= 0) {
        _dup2(fd, 1);
        _close(fd);
    }
}

ConsoleCapture::~ConsoleCapture()
{
    Stop();
}

void ConsoleCapture::Stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    std::fflush(stdout);
    if (m_saved >= 0) {
        _dup2(m_saved, 1);
        _close(m_saved);
    }
    m_text = ReadFileBytes(m_path);
    ::DeleteFileW(m_path.c_str());
}

std::vector<std::string> ConsoleCapture::Lines()
{
    Stop();
    std::vector<std::string> lines;
    size_t begin = 0;
    while (begin < m_text.size()) {
        size_t end = m_text.find('\n', begin);
        end = end == std::string::npos ? m_text.size() : end + 1;
        lines.push_back(m_text.substr(begin, end - begin));
        begin = end;
    }
    return lines;
}

}  // namespace qxt::test
