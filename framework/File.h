// CFile: a binary file over a Win32 handle, with the open flags and the
// error behaviour the program relies on (Read/Write/Seek throw CFileException).
#pragma once

#include "framework/Handles.h"

#include <windows.h>

class CFileException {
public:
    explicit CFileException(DWORD osError) : m_lOsError(static_cast<LONG>(osError)) {}
    LONG m_lOsError;
};

class CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoTruncate = 0x1000,
        modeCreate = 0x2000,
        typeBinary = 0x8000,
    };
    enum SeekPosition { begin = FILE_BEGIN, current = FILE_CURRENT, end = FILE_END };

    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    virtual ~CFile() = default;

    // Without a share flag the file is opened for this handle alone (no sharing).
    // Returns FALSE on failure; GetLastError() tells why.
    BOOL Open(const wchar_t* path, UINT openFlags);
    UINT Read(void* buffer, UINT count);            // 0 at the end; throws on error
    void Write(const void* buffer, UINT count);      // throws on error
    ULONGLONG Seek(LONGLONG offset, UINT from);      // throws on error
    ULONGLONG GetLength() const;                     // throws on error
    void Flush();                                    // throws on error
    void Close();
    HANDLE Handle() const { return m_file.Get(); }

private:
    qxt::UniqueFileHandle m_file;
};
