// A text log of events: UTF-8, one line per event, each line starting with
// the local date and time. Writing a log never fails the work it records: a
// log that cannot be created or written is simply not written.
#pragma once

#include <windows.h>

#include <string>

class CLogFile {
public:
    // Constant: the process's log exists before any code that might write to it runs.
    constexpr CLogFile() = default;
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;
    ~CLogFile();

    // Starts a new log at path. A file already there is first renamed to
    // previousPath (replacing an older one); with an empty previousPath it is
    // replaced. False when the file cannot be created: the log then stays closed.
    bool Open(const std::wstring& path, const std::wstring& previousPath);
    // Goes on writing at the end of the log at path (created when missing);
    // lines of several writers, in any process, never overwrite each other.
    bool Append(const std::wstring& path);
    void Close();
    bool IsOpen() const { return m_hFile != nullptr; }

    // Appends one line: "YYYY-MM-DD hh:mm:ss.mmm text". CR and LF inside the
    // text become spaces, a tab stays, and every other character that a
    // reader may take for a line break is escaped as EscapeLogText does, so
    // every event stays on one line. Safe from any thread; does nothing when
    // the log is closed.
    void Write(const std::wstring& text);

private:
    HANDLE m_hFile = nullptr;  // the open log, null when closed
    SRWLOCK m_lock = SRWLOCK_INIT;
};

// The process's one log, closed until someone opens it.
CLogFile& ProcessLog();

// Formats as FormatText does (%ls for a wide string, %I64u for a 64-bit
// number) and writes one line to the process's log.
void LogLine(const wchar_t* format, ...);

// A path next to path with ".old" before its extension: C:\Temp\QXTSetup.log
// gives C:\Temp\QXTSetup.old.log.
std::wstring PreviousLogPath(const std::wstring& path);

// Text that came from outside (a server's answer, a file's line, a name) as
// the log shows it: control characters (U+0000 to U+001F, U+007F to U+009F,
// NEL U+0085 among them) become \xHH, the line and paragraph separators
// U+2028 and U+2029 become \uHHHH; everything else stays as it is.
std::wstring EscapeLogText(const std::wstring& text);

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string ToUtf8(const std::wstring& text);

// Writes "error: text" to the process's log and keeps the text as the last
// error, which a run's closing line names as the reason it failed (unless
// the failure carries its own line).
void LogError(const wchar_t* format, ...);
// The text LogLine and LogError would write, for a caller that keeps it too.
std::wstring FormatLogText(const wchar_t* format, ...);
std::wstring LastLoggedError();
// How many errors were logged so far: tells whether a piece of work logged one.
unsigned LoggedErrorCount();
