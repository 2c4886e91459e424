// CStdioFile: a file read line by line. Text is single-byte: every byte becomes
// one UTF-16 code unit of the same value, with no code-page conversion.
#pragma once

#include "framework/File.h"

#include <string>

class CStdioFile : public CFile {
public:
    static constexpr UINT typeText = 0x4000;

    // Accepts typeText, which only says how ReadString reads.
    BOOL Open(const wchar_t* path, UINT openFlags);
    // The next line without its line feed. FALSE at the end of the file and
    // when a read fails; Failed() tells the two apart (GetLastError() why).
    BOOL ReadString(std::wstring& line);
    bool Failed() const noexcept { return m_bFailed; }

private:
    char m_buffer[4096];
    UINT m_nLength = 0;
    UINT m_nPosition = 0;
    bool m_bFailed = false;
};
