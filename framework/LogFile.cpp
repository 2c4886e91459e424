#include "framework/LogFile.h"

#include "framework/FormatText.h"
#include "framework/Handles.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

// 2^60: no log ever reaches it, so the lock never covers a byte a reader reads.
constexpr DWORD kWriterLockOffsetHigh = 0x10000000;

std::wstring Timestamp()
{
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    wchar_t text[32] = {};
    FormatText(text, 32, L"%04u-%02u-%02u %02u:%02u:%02u.%03u", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond, now.wMilliseconds);
    return text;
}

bool NeedsEscape(wchar_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

void AppendEscaped(std::wstring& out, wchar_t c)
{
    wchar_t code[8] = {};
    FormatText(code, 8, c <= 0xFF ? L"\\x%02X" : L"\\u%04X", static_cast<unsigned>(c));
    out += code;
}

}  // namespace

std::wstring EscapeLogText(const std::wstring& text)
{
    std::wstring escaped;
    escaped.reserve(text.size());
    for (wchar_t c : text) {
        if (NeedsEscape(c))
            AppendEscaped(escaped, c);
        else
            escaped += c;
    }
    return escaped;
}

CLogFile::~CLogFile()
{
    Close();
}

bool CLogFile::Open(const std::wstring& path, const std::wstring& previousPath)
{
    Close();
    if (path.empty())
        return false;
    if (!previousPath.empty())
        ::MoveFileExW(path.c_str(), previousPath.c_str(), MOVEFILE_REPLACE_EXISTING);
    qxt::UniqueFileHandle fresh(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!fresh)
        return false;
    fresh.Reset();
    return Append(path);
}

bool CLogFile::Append(const std::wstring& path)
{
    Close();
    if (path.empty())
        return false;
    // Others may read the log while the run goes on, and another process may
    // write to it (a second setup program saying that it leaves).
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    ::AcquireSRWLockExclusive(&m_lock);
    m_hFile = file;
    ::ReleaseSRWLockExclusive(&m_lock);
    return true;
}

void CLogFile::Close()
{
    ::AcquireSRWLockExclusive(&m_lock);
    const HANDLE file = m_hFile;
    m_hFile = nullptr;
    ::ReleaseSRWLockExclusive(&m_lock);
    if (file)
        ::CloseHandle(file);
}

void CLogFile::Write(const std::wstring& text)
{
    if (!IsOpen())
        return;
    std::wstring line = Timestamp();
    line += L' ';
    // The program's own texts may hold a line break (a system error text) or
    // a tab (the list of switches); whatever else could end a line or drive a
    // terminal is shown, not obeyed.
    for (wchar_t c : text) {
        if (c == L'\r' || c == L'\n')
            line += L' ';
        else if (c != L'\t' && NeedsEscape(c))
            AppendEscaped(line, c);
        else
            line += c;
    }
    // System error texts end with a line break; the line ends once.
    while (!line.empty() && line.back() == L' ')
        line.pop_back();
    line += L"\r\n";
    const std::string bytes = ToUtf8(line);

    ::AcquireSRWLockExclusive(&m_lock);
    if (m_hFile) {
        // Every writer of the file, in any process, locks the same byte far
        // beyond the end before it writes at the end: append-only handles
        // do not keep two writers apart under Wine, one overwrites the other.
        OVERLAPPED writers{};
        writers.OffsetHigh = kWriterLockOffsetHigh;
        const bool locked = ::LockFileEx(m_hFile, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &writers) != FALSE;
        LARGE_INTEGER end{};
        DWORD written = 0;
        // A full disk or a vanished share costs the log, never the run.
        if (::SetFilePointerEx(m_hFile, LARGE_INTEGER{}, &end, FILE_END))
            ::WriteFile(m_hFile, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        if (locked)
            ::UnlockFileEx(m_hFile, 0, 1, 0, &writers);
    }
    ::ReleaseSRWLockExclusive(&m_lock);
}

namespace {
// Constant-initialised rather than a function's static, whose thread-safe
// guard would bring the pthread library (about 30 KB) into the program.
constinit CLogFile g_processLog;
}  // namespace

CLogFile& ProcessLog()
{
    return g_processLog;
}

namespace {

std::wstring FormatV(const wchar_t* format, va_list args)
{
    std::vector<wchar_t> buffer(512);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        const int length = FormatTextV(buffer.data(), buffer.size(), format, copy);
        va_end(copy);
        if (length >= 0)
            return std::wstring(buffer.data(), static_cast<size_t>(length));
        if (buffer.size() >= 65536)
            return std::wstring(buffer.data(), ::wcsnlen(buffer.data(), buffer.size())) + L"...";
        buffer.resize(buffer.size() * 4);
    }
}

SRWLOCK g_lastErrorLock = SRWLOCK_INIT;
std::wstring g_lastError;
unsigned g_errorCount = 0;

}  // namespace

void LogLine(const wchar_t* format, ...)
{
    if (!ProcessLog().IsOpen())
        return;
    va_list args;
    va_start(args, format);
    const std::wstring text = FormatV(format, args);
    va_end(args);
    ProcessLog().Write(text);
}

void LogError(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::wstring text = FormatV(format, args);
    va_end(args);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    ::AcquireSRWLockExclusive(&g_lastErrorLock);
    g_lastError = text;
    ++g_errorCount;
    ::ReleaseSRWLockExclusive(&g_lastErrorLock);
    ProcessLog().Write(L"error: " + text);
}

std::wstring FormatLogText(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::wstring text = FormatV(format, args);
    va_end(args);
    return text;
}

unsigned LoggedErrorCount()
{
    ::AcquireSRWLockShared(&g_lastErrorLock);
    const unsigned count = g_errorCount;
    ::ReleaseSRWLockShared(&g_lastErrorLock);
    return count;
}

std::wstring LastLoggedError()
{
    ::AcquireSRWLockShared(&g_lastErrorLock);
    std::wstring text = g_lastError;
    ::ReleaseSRWLockShared(&g_lastErrorLock);
    return text;
}

std::wstring PreviousLogPath(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    const size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash) || dot == slash + 1)
        return path + L".old";
    return path.substr(0, dot) + L".old" + path.substr(dot);
}

std::string ToUtf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                          nullptr);
    return bytes;
}
